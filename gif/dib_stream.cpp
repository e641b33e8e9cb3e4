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

void BuildDIBStream(TGIFFrame& Frame, TMemoryStream& Stream) {
  TGIFItem& item = *Frame.SharedItem;
  const int depth = DIBDepthForBits(item.ColorBits);
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
  Stream.WriteBuffer(ExpandPalette(item.Colors).data(), paletteBytes);
  // The pixel area is zero-filled; rows the decoder does not reach stay at pixel value 0.
  Stream.SetSize(pixelOffset + pixelBytes);

  if (!item.CodeData) throw EReadError(SReadError);
  TMemoryStream& codes = *item.CodeData;
  codes.SetPosition(0);
  TGIFImage* owner = Frame.OwnerImage;
  // Progress is reported only when someone listens: the report has no other effect.
  const bool report = owner != nullptr && owner->OnProgress;
  bool corrupt = false;
  DecodeLZW(codes, width, height, depth, Frame.InterlaceFlag, report ? &DecodeProgress : nullptr, owner,
            corrupt, Stream.Memory() + pixelOffset, item.ColorBits, AcceptCorruptData);
  Frame.DataCorrupt = Frame.DataCorrupt || corrupt;
  Stream.SetPosition(0);
}

}  // namespace lumivane
