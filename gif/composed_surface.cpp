#include "gif/composed_surface.h"

#include <algorithm>
#include <array>

#include "gif/dib_stream.h"
#include "gif/gif_frame.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// A colour value (red in the low byte) as a 32-bit pixel (blue in the low byte).
uint32_t PixelOf(TColor color) {
  const auto c = static_cast<uint32_t>(color);
  return kOpaque | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Copies one row of indices through the colour lookup, leaving out the transparent entries.
template <int Depth>
void CopyRow(const uint8_t* source, int first, int count, uint32_t* target, const uint32_t* colors,
             const bool* transparent, bool anyTransparent) {
  for (int i = 0; i < count; ++i) {
    const int x = first + i;
    unsigned index;
    if constexpr (Depth == 8) {
      index = source[x];
    } else if constexpr (Depth == 4) {
      index = (source[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    } else {
      index = (source[x >> 3] >> (7 - (x & 7))) & 1;
    }
    if (anyTransparent && transparent[index]) continue;
    target[i] = colors[index];
  }
}

}  // namespace

std::unique_ptr<TBitmap> TComposedSurface::NewBitmap(int Width, int Height) {
  if (Width <= 0 || Height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = Width;
  info.bmiHeader.biHeight = -Height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section == nullptr) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImageHandle(section);
  return bitmap;
}

TComposedSurface::TComposedSurface(TBitmap& Bitmap) {
  if (Bitmap.IsEmpty()) return;
  const DIBSECTION& d = Bitmap.ImageDescription();
  if (d.dsBm.bmBits == nullptr || d.dsBm.bmBitsPixel != 32 || d.dsBmih.biCompression != BI_RGB) return;
  width_ = d.dsBm.bmWidth;
  height_ = std::abs(d.dsBm.bmHeight);
  const int64_t stride = d.dsBm.bmWidthBytes;
  auto* memory = static_cast<uint8_t*>(d.dsBm.bmBits);
  if (d.dsBmih.biHeight < 0) {
    bits_ = memory;
    step_ = stride;
  } else {
    bits_ = memory + (height_ - 1) * stride;
    step_ = -stride;
  }
}

void TComposedSurface::Fill(const TRect& Rect, TColor Color) {
  if (!Valid()) return;
  const int left = std::max(Rect.Left, 0);
  const int right = std::min(Rect.Right, width_);
  const int top = std::max(Rect.Top, 0);
  const int bottom = std::min(Rect.Bottom, height_);
  if (left >= right || top >= bottom) return;
  const uint32_t pixel = PixelOf(Color);
  for (int y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + right, pixel);
}

bool TComposedSurface::DrawFrame(TGIFFrame& Frame, int X, int Y, bool UseTransparency) {
  if (!Valid() || !Frame.SharedItem->CodeData) return false;
  TBitmap& bitmap = Frame.FrameBitmap();
  if (bitmap.IsEmpty()) return true;  // nothing of the frame lies on the screen
  const DIBSECTION& d = bitmap.ImageDescription();
  const int depth = d.dsBm.bmBitsPixel;
  if (d.dsBm.bmBits == nullptr || (depth != 1 && depth != 4 && depth != 8)) return false;

  // The lookup as the frame's section was built with it.
  const auto palette = ExpandPalette(FrameColors(Frame));
  std::array<uint32_t, 256> colors;
  for (int i = 0; i < 256; ++i) {
    colors[i] = kOpaque | (uint32_t{palette[i * 4 + 2]} << 16) | (uint32_t{palette[i * 4 + 1]} << 8) |
                palette[i * 4 + 0];
  }
  std::array<bool, 256> transparent{};
  bool anyTransparent = false;
  if (UseTransparency && Frame.TransparentColor != clNone) {
    const uint32_t key = PixelOf(Frame.TransparentColor);
    const int index = Frame.TransparentIndex;
    if (index >= 0 && index < 256 && colors[index] == key) {
      transparent[index] = true;
    } else {
      for (int i = 0; i < 256; ++i) transparent[i] = colors[i] == key;
    }
    anyTransparent = true;
  }

  const int frameWidth = d.dsBm.bmWidth;
  const int frameHeight = std::abs(d.dsBm.bmHeight);
  const int64_t stride = d.dsBm.bmWidthBytes;
  const auto* memory = static_cast<const uint8_t*>(d.dsBm.bmBits);
  const bool bottomUp = d.dsBmih.biHeight > 0;
  const int firstX = std::max(0, -X);
  const int lastX = std::min(frameWidth, width_ - X);
  const int firstY = std::max(0, -Y);
  const int lastY = std::min(frameHeight, height_ - Y);
  if (firstX >= lastX || firstY >= lastY) return true;
  for (int y = firstY; y < lastY; ++y) {
    const uint8_t* source = memory + (bottomUp ? frameHeight - 1 - y : y) * stride;
    uint32_t* target = Row(Y + y) + X + firstX;
    const int count = lastX - firstX;
    switch (depth) {
      case 8:
        CopyRow<8>(source, firstX, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
      case 4:
        CopyRow<4>(source, firstX, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
      default:
        CopyRow<1>(source, firstX, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
    }
  }
  return true;
}

}  // namespace lumivane
