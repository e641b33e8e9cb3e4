#pragma once
// A view over rows of pixels in any of the device's formats, and the row converters between that
// format and 32-bit pixels (0x00RRGGBB, the memory layout of a Format_RGB32 image).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/colour_matcher.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

struct Surface {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;
  BYTE* top = nullptr;                 // first byte of the top row
  std::ptrdiff_t step = 0;             // bytes from one row to the row below it (negative: bottom-up)
  std::vector<std::uint32_t> colours;  // colour table as pixels (1, 4, 8 bits)
  DWORD masks[3] = {0, 0, 0};          // red, green, blue masks (16 and 32 bits)
  bool monoDevice = false;             // a monochrome device bitmap (no colour table)
  // Bits set in every stored plain 32-bit pixel: device bitmaps keep their fourth byte at 0xFF,
  // as a Format_RGB32 image that shares their memory requires.
  std::uint32_t opaque = 0;

  bool Valid() const { return top != nullptr && width > 0 && height > 0; }
  BYTE* Row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * step; }
  // A plain 32-bit surface (X, R, G, B in memory order B, G, R, X).
  bool IsPlain32() const {
    return bitsPerPixel == 32 && masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
  }
};

// Surface of a bitmap (device bitmap or DIB section).
Surface SurfaceOf(const GdiBitmap* bitmap);

// Row bytes of a DIB row: padded to 4 bytes.
inline std::size_t DibStride(long long width, int bitsPerPixel) {
  return static_cast<std::size_t>(((width * bitsPerPixel + 31) / 32) * 4);
}
// Row bytes of a device bitmap row: padded to 2 bytes.
inline std::size_t DeviceStride(long long width, int bitsPerPixel) {
  return static_cast<std::size_t>(((width * bitsPerPixel + 15) / 16) * 2);
}

// One colour channel of a 16- or 32-bit pixel described by a mask.
class ChannelCodec {
 public:
  ChannelCodec() = default;
  explicit ChannelCodec(DWORD mask);
  std::uint32_t Decode(std::uint32_t value) const;  // 0..255
  std::uint32_t Encode(std::uint32_t channel) const;

 private:
  DWORD mask_ = 0;
  int shift_ = 0;
  int bits_ = 0;
  std::uint8_t expand_[256] = {};  // for channels of 8 bits or fewer
};

// Reads pixels of a surface as 32-bit pixels. A monochrome device surface reads its 0 bits as
// `monoZero` and its 1 bits as `monoOne`.
class RowReader {
 public:
  explicit RowReader(const Surface& surface, std::uint32_t monoZero = 0, std::uint32_t monoOne = 0xFFFFFF);
  // Pixels are written to `out` with the bits of `fill` added.
  void Read(int y, int x0, int count, std::uint32_t* out, std::uint32_t fill = 0) const;
  // out[i] = pixel (xs[i], y) | fill; every xs[i] lies inside the surface.
  void ReadSampled(int y, const int* xs, int count, std::uint32_t* out, std::uint32_t fill = 0) const;
  std::uint32_t Pixel(int x, int y) const;
  // Row y's bytes when its pixels are plain blue, green, red bytes (24-bit, or 32-bit without
  // channel masks), and how many bytes a pixel takes; null for other layouts.
  const BYTE* PlainRow(int y, int& bytesPerPixel) const;
  // The colour a pixel of this value reads back as (the value stored and read again).
  std::uint32_t RoundTrip(std::uint32_t pixel) const;

 private:
  const Surface& surface_;
  std::uint32_t table_[256] = {};
  ChannelCodec red_, green_, blue_;
};

// Writes 32-bit pixels into a surface, mapping them to the nearest colour of a colour table
// (monochrome device surfaces: black or white, whichever is nearer).
class RowWriter {
 public:
  explicit RowWriter(const Surface& surface);
  void Write(int y, int x0, int count, const std::uint32_t* in);
  void WritePixel(int x, int y, std::uint32_t pixel) { Write(y, x, 1, &pixel); }
  // Writes `count` pixels of one colour: fills of 24- and 32-bit rows run at memory speed.
  void Fill(int y, int x0, int count, std::uint32_t pixel);

 private:
  const Surface& surface_;
  ColourMatcher matcher_;
  ChannelCodec red_, green_, blue_;
};

// Pixel <-> COLORREF.
inline std::uint32_t PixelFromRgb(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF RgbFromPixel(std::uint32_t p) {
  return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

}  // namespace lumivane
