#include "gif/dib_stream.h"

#include <algorithm>
#include <cstring>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif/gif_frame.h"
#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/lzw_decoder.h"
#include "gif/pixel_writer.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
// The file's size fields are 32-bit signed in practice; larger frames cannot be described.
constexpr int64_t kMaxFileSize = 0x7FFFFFFF;

void PutWord(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutDWord(uint8_t* p, uint32_t v) {
  PutWord(p, v);
  PutWord(p + 2, v >> 16);
}

// Decodes the frame's code data into Pixels: zero-filled rows of DIBRowBytes(ClipWidth, Depth)
// bytes, bottom-up, holding the frame's top-left ClipWidth x ClipHeight part (-1: the whole
// frame). The frame's DataCorrupt gains the decoder's corrupt flag.
void DecodeFramePixels(TGIFFrame& Frame, int Depth, uint8_t* Pixels, int ClipWidth = -1,
                       int ClipHeight = -1) {
  const TGIFItem& item = *Frame.SharedItem;
  TMemoryStream& codes = *item.CodeData;
  codes.SetPosition(0);
  TGIFImage* owner = Frame.OwnerImage;
  // Progress is reported only when someone listens: the report has no other effect.
  const bool report = owner != nullptr && owner->OnProgress;
  bool corrupt = false;
  DecodeLZW(codes, item.ImageSize.Width, item.ImageSize.Height, Depth, Frame.InterlaceFlag,
            report ? &DecodeProgress : nullptr, owner, corrupt, Pixels, AcceptCorruptData, ClipWidth,
            ClipHeight);
  Frame.DataCorrupt = Frame.DataCorrupt || corrupt;
}

}  // namespace

int DIBDepthForBits(int ColorBits) {
  if (ColorBits == 1) return 1;
  if (ColorBits >= 2 && ColorBits <= 4) return 4;
  if (ColorBits >= 5 && ColorBits <= 8) return 8;
  throw EInvalidGraphicOperation(SGIFWrongColorCount);
}

std::array<uint8_t, 256 * 4> ExpandPalette(const ColorTable& Colors) {
  std::array<uint8_t, 256 * 4> palette;
  palette.fill(0x80);
  const int count = std::clamp(Colors.Count, 0, 256);
  for (int i = 0; i < count; ++i) {
    palette[i * 4 + 0] = Colors.Entries[i][2];
    palette[i * 4 + 1] = Colors.Entries[i][1];
    palette[i * 4 + 2] = Colors.Entries[i][0];
    palette[i * 4 + 3] = 0;
  }
  return palette;
}

ColorTable FrameColors(const TGIFFrame& Frame, int* ColorBits) {
  const TGIFItem& item = *Frame.SharedItem;
  if (item.ColorBits != 0) {
    if (ColorBits != nullptr) *ColorBits = item.ColorBits;
    return item.Colors;
  }
  const TGIFImage* owner = Frame.OwnerImage;
  const int bits = owner != nullptr ? std::clamp<int>(owner->Data().ColorBits, 1, 8) : 8;
  ColorTable table;
  table.Count = 1 << bits;
  for (int i = 0; i < table.Count; ++i) {
    const auto grey = static_cast<uint8_t>(i * 255 / (table.Count - 1));
    table.Entries[i][0] = table.Entries[i][1] = table.Entries[i][2] = grey;
  }
  if (ColorBits != nullptr) *ColorBits = bits;
  return table;
}

TGIFImageSize FrameClip(const TGIFFrame& Frame) {
  TGIFImageSize size = Frame.SharedItem->ImageSize;
  const TGIFImage* owner = Frame.OwnerImage;
  if (owner == nullptr) return size;
  const int screenWidth = owner->ScreenWidth();
  const int screenHeight = owner->ScreenHeight();
  if (screenWidth > 0) size.Width = std::clamp(screenWidth - Frame.Origin.X, 0, size.Width);
  if (screenHeight > 0) size.Height = std::clamp(screenHeight - Frame.Origin.Y, 0, size.Height);
  return size;
}

HBITMAP DecodeFrameSection(TGIFFrame& Frame) {
  TGIFItem& item = *Frame.SharedItem;
  int bits = 0;
  const ColorTable colors = FrameColors(Frame, &bits);
  const int depth = DIBDepthForBits(bits);
  if (!item.CodeData) throw EReadError(SReadError);
  const int width = item.ImageSize.Width;
  const int height = item.ImageSize.Height;
  const TGIFImageSize clip = FrameClip(Frame);
  if (width < 0 || height < 0) throw EOutOfResources(SGIFTooLarge);
  if (clip.Width <= 0 || clip.Height <= 0) return nullptr;

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = clip.Width;
  info.header.biHeight = clip.Height;  // positive: rows bottom-up
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(depth);
  info.header.biCompression = BI_RGB;
  const auto palette = ExpandPalette(colors);
  std::memcpy(info.colors, palette.data(), (size_t{1} << depth) * 4);
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                     &pixels, nullptr, 0);
  if (section == nullptr || pixels == nullptr) {
    if (section != nullptr) DeleteObject(section);
    throw EOutOfResources(SGIFTooLarge);
  }
  try {
    DecodeFramePixels(Frame, depth, static_cast<uint8_t*>(pixels), clip.Width, clip.Height);
  } catch (...) {
    DeleteObject(section);
    throw;
  }
  return section;
}

void BuildDIBStream(TGIFFrame& Frame, TMemoryStream& Stream) {
  TGIFItem& item = *Frame.SharedItem;
  int bits = 0;
  const ColorTable colors = FrameColors(Frame, &bits);
  const int depth = DIBDepthForBits(bits);
  const int width = item.ImageSize.Width;
  const int height = item.ImageSize.Height;
  const int64_t paletteBytes = (int64_t{1} << depth) * 4;
  const int64_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
  const int64_t pixelBytes = static_cast<int64_t>(height) * DIBRowBytes(width, depth);
  if (width < 0 || height < 0 || pixelOffset + pixelBytes > kMaxFileSize) throw EOutOfResources(SGIFTooLarge);

  uint8_t headers[kFileHeaderSize + kInfoHeaderSize] = {};
  uint8_t* file = headers;
  file[0] = 'B';
  file[1] = 'M';
  PutDWord(file + 2, static_cast<uint32_t>(pixelOffset + pixelBytes));
  PutDWord(file + 10, static_cast<uint32_t>(pixelOffset));
  uint8_t* info = headers + kFileHeaderSize;
  PutDWord(info + 0, kInfoHeaderSize);
  PutDWord(info + 4, static_cast<uint32_t>(width));
  PutDWord(info + 8, static_cast<uint32_t>(height));  // positive: rows bottom-up
  PutWord(info + 12, 1);
  PutWord(info + 14, static_cast<uint32_t>(depth));
  PutDWord(info + 20, static_cast<uint32_t>(pixelBytes));

  Stream.SetSize(0);
  Stream.WriteBuffer(headers, sizeof(headers));
  Stream.WriteBuffer(ExpandPalette(colors).data(), paletteBytes);
  // The pixel area is zero-filled; rows the decoder does not reach stay at pixel value 0.
  Stream.SetSize(pixelOffset + pixelBytes);

  if (!item.CodeData) throw EReadError(SReadError);
  DecodeFramePixels(Frame, depth, Stream.Memory() + pixelOffset);
  Stream.SetPosition(0);
}

}  // namespace lumivane
