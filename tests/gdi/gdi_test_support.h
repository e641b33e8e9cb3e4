#pragma once
// Small helpers for the raster device tests: bitmaps selected into memory contexts.

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/platform_error.h"

namespace lumivane::test {

// A BITMAPINFO with room for 256 colours (or masks).
struct InfoBuffer {
  alignas(4) BYTE bytes[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(bytes); }
  BITMAPINFOHEADER& header() { return info()->bmiHeader; }
  RGBQUAD* colors() { return reinterpret_cast<RGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER)); }
  DWORD* masks() { return reinterpret_cast<DWORD*>(bytes + sizeof(BITMAPINFOHEADER)); }
};

inline InfoBuffer MakeInfo(int width, int height, int bits, DWORD compression = BI_RGB) {
  InfoBuffer b;
  b.header().biSize = sizeof(BITMAPINFOHEADER);
  b.header().biWidth = width;
  b.header().biHeight = height;
  b.header().biPlanes = 1;
  b.header().biBitCount = static_cast<WORD>(bits);
  b.header().biCompression = compression;
  return b;
}

inline RGBQUAD Quad(BYTE r, BYTE g, BYTE b) { return RGBQUAD{b, g, r, 0}; }

// A memory context with a bitmap selected; frees both.
class Canvas {
 public:
  explicit Canvas(HBITMAP bitmap) : bitmap_(bitmap), dc_(CreateCompatibleDC(nullptr)) {
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }

  void Fill(COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT r{0, 0, 1 << 20, 1 << 20};
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
  }

 private:
  HBITMAP bitmap_;
  HDC dc_;
  HGDIOBJ old_;
};

inline HBITMAP ColourBitmap(int w, int h) {
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(screen, w, h);
  ReleaseDC(nullptr, screen);
  return b;
}

inline HBITMAP MonoBitmap(int w, int h) { return CreateBitmap(w, h, 1, 1, nullptr); }

}  // namespace lumivane::test
