#include "gif/composed_surface.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

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

// The colour index at column x of a row of Depth-bit indices.
template <int Depth>
unsigned IndexAt(const uint8_t* source, int x) {
  if constexpr (Depth == 8) {
    return source[x];
  } else if constexpr (Depth == 4) {
    return (source[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
  } else {
    return (source[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

// The frame columns that a row copy reads: a run of consecutive columns from First, or one listed
// column per surface pixel when the surface samples the screen.
struct TFrameColumns {
  int First = 0;
  const int* Listed = nullptr;
  int operator[](int i) const { return Listed != nullptr ? Listed[i] : First + i; }
};

// Copies one row of indices through the colour lookup, leaving out the transparent entries.
template <int Depth>
void CopyRow(const uint8_t* source, TFrameColumns columns, int count, uint32_t* target,
             const uint32_t* colors, const bool* transparent, bool anyTransparent) {
  for (int i = 0; i < count; ++i) {
    const unsigned index = IndexAt<Depth>(source, columns[i]);
    if (anyTransparent && transparent[index]) continue;
    target[i] = colors[index];
  }
}

// The first position in a non-decreasing list at or after Value.
int FirstAtOrAfter(const std::vector<int>& list, int64_t value) {
  if (value <= INT32_MIN) return 0;
  if (value > INT32_MAX) return static_cast<int>(list.size());
  return static_cast<int>(std::lower_bound(list.begin(), list.end(), static_cast<int>(value)) - list.begin());
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

TComposedSurface::TComposedSurface(TBitmap& Bitmap, const TScreenSampling* Sampling) {
  if (Bitmap.IsEmpty()) return;
  const DIBSECTION& d = Bitmap.ImageDescription();
  if (d.dsBm.bmBits == nullptr || d.dsBm.bmBitsPixel != 32 || d.dsBmih.biCompression != BI_RGB) return;
  width_ = d.dsBm.bmWidth;
  height_ = std::abs(d.dsBm.bmHeight);
  if (Sampling != nullptr &&
      (std::ssize(Sampling->Columns) != width_ || std::ssize(Sampling->Rows) != height_)) {
    width_ = height_ = 0;
    return;
  }
  sampling_ = Sampling;
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

std::pair<int, int> TComposedSurface::ColumnsShowing(int64_t First, int64_t Last) const {
  if (sampling_ != nullptr)
    return {FirstAtOrAfter(sampling_->Columns, First), FirstAtOrAfter(sampling_->Columns, Last)};
  return {static_cast<int>(std::clamp<int64_t>(First, 0, width_)),
          static_cast<int>(std::clamp<int64_t>(Last, 0, width_))};
}

std::pair<int, int> TComposedSurface::RowsShowing(int64_t First, int64_t Last) const {
  if (sampling_ != nullptr)
    return {FirstAtOrAfter(sampling_->Rows, First), FirstAtOrAfter(sampling_->Rows, Last)};
  return {static_cast<int>(std::clamp<int64_t>(First, 0, height_)),
          static_cast<int>(std::clamp<int64_t>(Last, 0, height_))};
}

void TComposedSurface::Fill(const TRect& Rect, TColor Color) {
  if (!Valid()) return;
  const auto [left, right] = ColumnsShowing(Rect.Left, Rect.Right);
  const auto [top, bottom] = RowsShowing(Rect.Top, Rect.Bottom);
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
  const auto [firstColumn, lastColumn] = ColumnsShowing(X, int64_t{X} + frameWidth);
  const auto [firstRow, lastRow] = RowsShowing(Y, int64_t{Y} + frameHeight);
  if (firstColumn >= lastColumn || firstRow >= lastRow) return true;
  const int count = lastColumn - firstColumn;

  // The frame column under each surface column; a run of consecutive screen columns needs no list.
  TFrameColumns columns{ScreenColumn(firstColumn) - X, nullptr};
  std::vector<int> listed;
  if (ScreenColumn(lastColumn - 1) - ScreenColumn(firstColumn) != count - 1) {
    listed.resize(count);
    for (int i = 0; i < count; ++i) listed[i] = ScreenColumn(firstColumn + i) - X;
    columns.Listed = listed.data();
  }
  for (int j = firstRow; j < lastRow; ++j) {
    const int y = ScreenRow(j) - Y;
    const uint8_t* source = memory + (bottomUp ? frameHeight - 1 - y : y) * stride;
    uint32_t* target = Row(j) + firstColumn;
    switch (depth) {
      case 8:
        CopyRow<8>(source, columns, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
      case 4:
        CopyRow<4>(source, columns, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
      default:
        CopyRow<1>(source, columns, count, target, colors.data(), transparent.data(), anyTransparent);
        break;
    }
  }
  return true;
}

}  // namespace lumivane
