#pragma once
// Small helpers over the raster device shared by the picture classes: device contexts released on
// every path, palettes from and to colour tables, and a buffer holding a bitmap header with its
// masks and colour table in the layout the device expects.
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

// Images larger than this many pixels are refused before anything is allocated.
inline constexpr int64_t kMaxBitmapPixels = int64_t(1) << 28;

// Whether a compressed picture file of `file_size` bytes may declare `width` x `height` pixels,
// so that decoding costs time and memory in proportion to what the file's bytes can hold rather
// than to what its header claims: at most kMaxBitmapPixels, and beyond 2^24 pixels (a 48 MB
// bitmap) at least one byte of file for every 256 pixels declared. Asked before anything is
// allocated for the pixels.
inline bool AffordablePicture(int64_t width, int64_t height, int64_t file_size) {
  constexpr int64_t kFreePixels = int64_t(1) << 24;
  constexpr int64_t kMaxPixelsPerByte = 256;
  const int64_t pixels = width * height;
  return pixels <= kMaxBitmapPixels && (pixels <= kFreePixels || pixels / kMaxPixelsPerByte <= file_size);
}

// The screen's device context; EOutOfResources "Out of system resources" when there is none.
struct ScreenDC {
  ScreenDC();
  ~ScreenDC();
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC dc;
};

// A memory device context compatible with the screen.
struct MemoryDC {
  MemoryDC();
  ~MemoryDC();
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC dc;
};

// Deletes a raster-device object on scope exit unless released.
struct ObjectGuard {
  explicit ObjectGuard(HGDIOBJ object = nullptr) : object(object) {}
  ~ObjectGuard();
  ObjectGuard(const ObjectGuard&) = delete;
  ObjectGuard& operator=(const ObjectGuard&) = delete;
  HGDIOBJ Release() {
    HGDIOBJ o = object;
    object = nullptr;
    return o;
  }
  HGDIOBJ object;
};

// A header (40 bytes), optionally three colour masks, then a colour table: what CreateDIBSection,
// CreateDIBitmap and GetDIBits take as their BITMAPINFO.
class BitmapInfo {
 public:
  void Set(const BITMAPINFOHEADER& header, const DWORD* masks, const RGBQUAD* colors, int count);
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(words_.data()); }
  const BITMAPINFOHEADER& Header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(words_.data()); }

 private:
  std::vector<uint32_t> words_ = std::vector<uint32_t>(10);
};

// A logical palette holding the colours (null when count is 0).
HPALETTE PaletteFromColors(const RGBQUAD* colors, int count);
// Up to `count` entries of a palette as colour-table entries.
std::vector<RGBQUAD> ColorsFromPalette(HPALETTE palette, int count);
// A new palette with the same entries (null for null).
HPALETTE CopyPalette(HPALETTE palette);
// Up to `count` entries of a DIB section's colour table (the section is first taken out of every
// bitmap canvas holding it).
std::vector<RGBQUAD> DIBColorTable(HBITMAP dib, int count);
// True when the bitmap is a DIB section.
bool IsDIBSection(HBITMAP bitmap);
// The bitmap record of a bitmap (zero for null).
BITMAP BitmapRecord(HBITMAP bitmap);

}  // namespace lumivane
