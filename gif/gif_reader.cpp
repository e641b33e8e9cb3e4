#include "gif/gif_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/exception.h"
#include "framework/sys_utils.h"
#include "gif/dib_stream.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"

namespace lumivane {

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;  // "!"
constexpr uint8_t kImageIntroducer = 0x2C;      // ","
constexpr uint8_t kTrailer = 0x3B;              // ";"

constexpr uint8_t kLabelGraphicControl = 0xF9;
constexpr uint8_t kLabelComment = 0xFE;
constexpr uint8_t kLabelPlainText = 0x01;
constexpr uint8_t kLabelApplication = 0xFF;

constexpr int kMaxLoopCount = 30000;
constexpr char kCommentSeparator[] = "\r\n\r\n";

bool SameIgnoringCase(const uint8_t* bytes, const char* text, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

int TGIFReader::ColorCountToBits(int Count) {
  for (int bits = 1; bits <= 8; ++bits)
    if (Count == (1 << bits)) return bits;
  throw EInvalidGraphicOperation(SGIFWrongColorCount);
}

bool TGIFReader::IsLoopBlock(const TExtension& Block) {
  static constexpr char kNetscape[] = "NETSCAPE2.0";
  static constexpr char kAnimExts[] = "ANIMEXTS1.0";
  static constexpr int kIdentifierBytes = 11;
  if (Block.BlockKind != ExtApplication || !Block.Lines || Block.Lines->Count() < 1) return false;
  // The header holds 11 identifier bytes; a longer stated identifier cannot be one of the two.
  const int length = Block.Header[0];
  if (length > kIdentifierBytes) return false;
  const uint8_t* identifier = Block.Header + 1;
  if (std::memcmp(identifier, kNetscape, length) != 0 && std::memcmp(identifier, kAnimExts, length) != 0)
    return false;
  const std::string& first = Block.Lines->Strings(0);
  return first.size() >= 3 && static_cast<uint8_t>(first[0]) == 1;
}

uint8_t TGIFReader::ReadSignature() {
  uint8_t bytes[3] = {};
  ReadPlain(bytes, 3);
  if (!SameIgnoringCase(bytes, "GIF", 3)) throw EInvalidGraphicOperation(SGIFUnknownVersion);
  std::memset(bytes, 0, sizeof(bytes));
  ReadPlain(bytes, 3);
  if (SameIgnoringCase(bytes, "87a", 3)) return GIFVersion87a;
  if (SameIgnoringCase(bytes, "89a", 3)) return GIFVersion89a;
  throw EInvalidGraphicOperation(SGIFUnknownVersion);
}

void TGIFReader::ReadScreenDescriptor() {
  uint8_t d[7] = {};
  ReadPlain(d, sizeof(d));
  image_.logical_width_ = Word(d);
  image_.logical_height_ = Word(d + 2);
  const uint8_t packed = d[4];
  TGIFData& data = *image_.data_;
  data.ColorBits = (packed & 7) + 1;
  data.ColorResolution = ((packed >> 4) & 7) + 1;
  data.PixelAspect = d[6];
  if (packed & 0x80) ReadGlobalColorTable(d[5]);
}

void TGIFReader::ReadGlobalColorTable(uint8_t backgroundIndex) {
  ColorTable& table = image_.data_->GlobalColors;
  table.Count = 1 << image_.data_->ColorBits;
  ReadPlain(table.Entries, table.Count * 3);
  if (backgroundIndex < table.Count) image_.back_color_ = table.ColorAt(backgroundIndex);
}

uint8_t TGIFReader::NextBlockIntroducer() {
  // Zero bytes are skipped wherever a block is expected.
  const uint8_t* bytes = data_.Memory();
  int64_t position = data_.Position();
  const int64_t size = data_.Size();
  while (position < size && bytes[position] == 0) ++position;
  if (position >= size) {
    data_.SetPosition(size);
    return 0;
  }
  data_.SetPosition(position + 1);
  return bytes[position];
}

std::unique_ptr<TStringList> TGIFReader::ReadSubBlocks() {
  auto lines = std::make_unique<TStringList>();
  for (;;) {
    uint8_t size = 0;
    ReadPlain(&size, 1);
    if (size == 0) break;
    std::string block(size, '\0');
    ReadPlain(block.data(), size);
    lines->Add(block);
    if (AtEnd()) break;
  }
  return lines;
}

std::unique_ptr<TExtension> TGIFReader::ReadExtension() {
  uint8_t label = 0;
  ReadPlain(&label, 1);
  auto block = std::make_unique<TExtension>();
  switch (label) {
    case kLabelGraphicControl:
      block->BlockKind = ExtGraphicControl;
      ReadPlain(block->Header, 6);
      break;
    case kLabelComment:
      block->BlockKind = ExtComment;
      block->Lines = ReadSubBlocks();
      break;
    case kLabelPlainText:
      block->BlockKind = ExtPlainText;
      ReadPlain(block->Header, 13);
      block->Lines = ReadSubBlocks();
      break;
    case kLabelApplication:
      block->BlockKind = ExtApplication;
      ReadPlain(block->Header, 12);
      block->Lines = ReadSubBlocks();
      break;
    default:
      // A block of a kind this reader does not know is skipped whole, as the format allows.
      ReadSubBlocks();
      return nullptr;
  }
  return block;
}

std::unique_ptr<TExtensionList> TGIFReader::ReadExtensionRun(uint8_t& Introducer) {
  std::unique_ptr<TExtensionList> pending;
  while (Introducer == kExtensionIntroducer) {
    // A block of unknown kind comes back null and leaves nothing behind.
    if (std::unique_ptr<TExtension> block = ReadExtension()) {
      // A plain text block draws over what came before it: earlier blocks of the run are dropped.
      if (block->BlockKind == ExtPlainText) pending.reset();
      if (block->BlockKind == ExtPlainText || block->BlockKind == ExtApplication) {
        if (IsLoopBlock(*block)) {
          const std::string& first = block->Lines->Strings(0);
          const int count = static_cast<uint8_t>(first[1]) + static_cast<uint8_t>(first[2]) * 256;
          image_.loop_enabled_ = true;
          image_.loop_count_ = static_cast<uint16_t>(std::min(count, kMaxLoopCount));
        }
      } else {
        if (!pending) pending = std::make_unique<TExtensionList>();
        pending->push_back(std::move(block));
      }
    }
    if (AtEnd()) {
      Introducer = kTrailer;
      break;
    }
    Introducer = NextBlockIntroducer();
  }
  if (pending && pending->empty()) pending.reset();
  return pending;
}

TImageDescriptor TGIFReader::ReadImageBlock(TGIFFrame& Frame, TMemoryStream& Target) {
  TGIFItem& item = *Frame.SharedItem;
  Frame.DataCorrupt = false;
  uint8_t d[9];
  data_.ReadBuffer(d, sizeof(d));
  const TImageDescriptor descriptor{Word(d), Word(d + 2), Word(d + 4), Word(d + 6), d[8]};
  Frame.InterlaceFlag = (descriptor.Packed & 0x40) != 0;
  if (descriptor.Packed & 0x80) {
    item.ColorBits = (descriptor.Packed & 7) + 1;
    Frame.HasLocalColors = true;
    item.Colors.Count = 1 << item.ColorBits;
    data_.ReadBuffer(item.Colors.Entries, item.Colors.Count * 3);
  } else {
    Frame.HasLocalColors = false;
    item.Colors = ColorTable();
  }
  uint8_t codeSize = 0;
  data_.ReadBuffer(&codeSize, 1);
  Target.WriteBuffer(&codeSize, 1);

  // Find the extent of the sub-blocks first, then copy them in one piece.
  const uint8_t* bytes = data_.Memory();
  const int64_t size = data_.Size();
  const int64_t start = data_.Position();
  int64_t position = start;
  while (position < size) {
    const int64_t blockSize = bytes[position];
    if (position + 1 + blockSize > size) {
      // A block cut by the end of the data: keep the blocks before it.
      Frame.DataCorrupt = true;
      break;
    }
    position += 1 + blockSize;
    if (blockSize == 0) break;
  }
  Target.WriteBuffer(bytes + start, position - start);
  data_.SetPosition(Frame.DataCorrupt ? size : position);
  return descriptor;
}

void TGIFReader::ReadFrameData(TGIFFrame& Frame) {
  TGIFItem& item = *Frame.SharedItem;
  item.CodeData = std::make_unique<TMemoryStream>();
  try {
    const TImageDescriptor d = ReadImageBlock(Frame, *item.CodeData);
    if (Frame.DataCorrupt && !AcceptCorruptData) throw EInvalidGraphicOperation(SReadError);
    item.CodeData->SetPosition(0);
    Frame.Origin = TPoint{d.Left, d.Top};
    item.ImageSize.Width = d.Width != 0 ? d.Width : image_.logical_width_;
    item.ImageSize.Height = d.Height != 0 ? d.Height : image_.logical_height_;
    item.DescriptorFlags = d.Packed;
    if (!Frame.HasLocalColors) item.Colors = image_.data_->GlobalColors;
    ApplyGraphicControl(Frame);
  } catch (...) {
    item.CodeData.reset();
    throw;
  }
}

void TGIFReader::ApplyGraphicControl(TGIFFrame& frame) {
  // The last block decides transparency and disposal; the largest delay wins.
  frame.DelayTime = 0;
  if (!frame.ExtensionList) return;
  // A frame without any colour table is shown with the default one, transparency included.
  const ColorTable colors = FrameColors(frame);
  for (const auto& block : *frame.ExtensionList) {
    if (block->BlockKind != ExtGraphicControl) continue;
    const uint8_t packed = block->Header[1];
    if (packed & 1) {
      const int index = block->Header[4];
      if (index < colors.Count) {
        frame.TransparentColor = colors.ColorAt(index);
        frame.TransparentIndex = index;
      }
    } else {
      frame.TransparentColor = clNone;
      frame.TransparentIndex = -1;
    }
    const uint32_t delay = 10u * Word(block->Header + 2);
    frame.DelayTime = static_cast<uint16_t>(std::max<uint32_t>(frame.DelayTime, delay));
    frame.DisposalMethod = (packed >> 2) & 7;
  }
}

void TGIFReader::MergeTrailingComments(TExtensionList& pending) {
  TStringList& comment = image_.data_->CommentLines;
  for (const auto& block : pending) {
    if (block->BlockKind != ExtComment) continue;
    if (comment.Count() > 0) comment.Add(kCommentSeparator);
    if (block->Lines) comment.AddStrings(*block->Lines);
  }
}

void TGIFReader::ReadAll() {
  image_.format_version_ = ReadSignature();
  ReadScreenDescriptor();
  uint8_t introducer = NextBlockIntroducer();
  while (introducer != 0 && introducer != kTrailer && !AtEnd()) {
    std::unique_ptr<TExtensionList> pending = ReadExtensionRun(introducer);
    if (introducer == kImageIntroducer) {
      auto frame = std::make_unique<TGIFFrame>(&image_);
      const ColorTable& global = image_.data_->GlobalColors;
      if (global.Count > 0) frame->SharedItem->ColorBits = ColorCountToBits(global.Count);
      frame->ExtensionList = std::move(pending);
      ReadFrameData(*frame);
      image_.frames_.push_back(std::move(frame));
      introducer = AtEnd() ? kTrailer : NextBlockIntroducer();
      // Anything but another block after an image ends the reading quietly.
      if (introducer != kExtensionIntroducer && introducer != kImageIntroducer && introducer != kTrailer)
        introducer = 0;
    } else if (image_.data_->CommentLines.Count() == 0 && pending) {
      // Blocks before the trailer: their comments become the image comment.
      MergeTrailingComments(*pending);
    } else if (introducer != 0 && introducer != kTrailer) {
      throw EInvalidGraphicOperation(SReadError);
    }
  }
}

}  // namespace lumivane
