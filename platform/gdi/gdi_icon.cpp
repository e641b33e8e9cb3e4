// Icons: an AND mask and an XOR image, drawn by masking and then inverting the destination, or
// an image with alpha blended over the destination; and the alpha blend of bitmaps.

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/platform_error.h"

namespace lumivane {

using namespace gdi_detail;

namespace {

constexpr int kSystemIconSize = 32;

GdiBitmap* CopyBitmap(const GdiBitmap* source) {
  GdiBitmap* copy = NewDeviceBitmap(source->width, source->height, source->bitsPerPixel == 1);
  if (copy != nullptr)
    std::memcpy(copy->bits, source->bits, static_cast<std::size_t>(source->stride) * source->height);
  return copy;
}

// A colour image from monochrome device rows: 0 bits black, 1 bits white.
void ExpandMonochrome(GdiBitmap* image, const BYTE* bits) {
  const std::size_t monoStride = DeviceStride(image->width, 1);
  for (int y = 0; y < image->height; ++y) {
    const BYTE* row = bits + monoStride * y;
    auto* out = reinterpret_cast<std::uint32_t*>(image->bits + std::size_t(image->stride) * y);
    for (int x = 0; x < image->width; ++x)
      out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
  }
}

// The system's application icon: a small window with a picture (hills under a sun) in it.
GdiIcon* MakeApplicationIcon() {
  auto* icon = new GdiIcon;
  icon->stock = true;
  icon->width = icon->height = kSystemIconSize;
  icon->mask = NewDeviceBitmap(kSystemIconSize, kSystemIconSize, true);
  icon->image = NewDeviceBitmap(kSystemIconSize, kSystemIconSize, false);
  const Surface mask = SurfaceOf(icon->mask);
  const Surface image = SurfaceOf(icon->image);
  RowWriter maskWriter(mask);
  RowWriter imageWriter(image);
  const RECT frame{2, 4, 30, 28};
  for (int y = 0; y < kSystemIconSize; ++y) {
    for (int x = 0; x < kSystemIconSize; ++x) {
      const bool inside = x >= frame.left && x < frame.right && y >= frame.top && y < frame.bottom;
      std::uint32_t colour = 0;  // outside: transparent (mask 1, image black)
      if (inside) {
        const bool border =
            x == frame.left || x == frame.right - 1 || y == frame.top || y == frame.bottom - 1;
        const int dx = x - 22, dy = y - 13;
        if (border)
          colour = 0x000000;
        else if (y < frame.top + 4)
          colour = 0x000080;  // title bar
        else if (dx * dx + dy * dy <= 9)
          colour = 0xFFD800;  // sun
        else if (y > 26 - (x % 12 < 6 ? x % 12 : 12 - x % 12))
          colour = 0x208020;  // hills
        else
          colour = 0xA6CAF0;  // sky
      }
      maskWriter.WritePixel(x, y, inside ? 0 : 0xFFFFFF);
      imageWriter.WritePixel(x, y, colour);
    }
  }
  return icon;
}

// Source pixels with their alpha: 32-bit pixels carry it in their fourth byte, index pixels in the
// reserved byte of their colour-table entry; other formats are opaque.
class AlphaSource {
 public:
  explicit AlphaSource(const GdiBitmap* bitmap)
      : bitmap_(bitmap), surface_(SurfaceOf(bitmap)), reader_(surface_) {}

  // Pixel (x, y) as 0xAARRGGBB.
  std::uint32_t Pixel(int x, int y) const {
    const BYTE* row = surface_.Row(y);
    switch (surface_.bitsPerPixel) {
      case 32:
        if (surface_.IsPlain32()) {
          std::uint32_t p;
          std::memcpy(&p, row + static_cast<std::size_t>(x) * 4, 4);
          return p;
        }
        break;
      case 8:
        return Entry(row[x]);
      case 4:
        return Entry((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
      case 1:
        if (bitmap_->isDib) return Entry((row[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      default:
        break;
    }
    return reader_.Pixel(x, y) | 0xFF000000u;
  }

 private:
  std::uint32_t Entry(unsigned index) const {
    if (index >= bitmap_->colors.size()) return 0xFF000000u;
    const RGBQUAD& q = bitmap_->colors[index];
    return (std::uint32_t{q.rgbReserved} << 24) | (std::uint32_t{q.rgbRed} << 16) |
           (std::uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
  }

  const GdiBitmap* bitmap_;
  Surface surface_;
  RowReader reader_;
};

std::uint32_t Channel(std::uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// One destination pixel under a source pixel of alpha a (already scaled by the constant alpha).
std::uint32_t Blend(std::uint32_t src, std::uint32_t dst, std::uint32_t a, bool premultiplied,
                    std::uint32_t constant) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t s = Channel(src, shift);
    const std::uint32_t d = Channel(dst, shift);
    const std::uint32_t c = premultiplied ? (s * constant + 127) / 255 + (d * (255 - a) + 127) / 255
                                          : (s * a + d * (255 - a) + 127) / 255;
    out |= std::min<std::uint32_t>(c, 255) << shift;
  }
  return out;
}

// Blends `source` (its rectangle stretched onto the destination rectangle) over the target,
// touching only the source pixels under the clip.
void BlendStretch(const Surface& target, const RECT& clip, int x, int y, int width, int height,
                  const GdiBitmap* source, int srcX, int srcY, int srcWidth, int srcHeight,
                  bool premultiplied, std::uint32_t constant) {
  if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  const AxisMap xs = MapAxis(x, width, srcX, srcWidth, source->width, clip.left, clip.right);
  const AxisMap ys = MapAxis(y, height, srcY, srcHeight, source->height, clip.top, clip.bottom);
  if (xs.source.empty() || ys.source.empty()) return;
  const AlphaSource pixels(source);
  const RowReader reader(target);
  RowWriter writer(target);
  const int n = static_cast<int>(xs.source.size());
  std::vector<std::uint32_t> row(static_cast<std::size_t>(n));
  for (std::size_t j = 0; j < ys.source.size(); ++j) {
    const int ty = ys.first + static_cast<int>(j);
    reader.Read(ty, xs.first, n, row.data());
    for (int i = 0; i < n; ++i) {
      const std::uint32_t p = pixels.Pixel(xs.source[static_cast<std::size_t>(i)], ys.source[j]);
      const std::uint32_t a = ((p >> 24) * constant + 127) / 255;
      if (a == 0 && premultiplied && (p & 0xFFFFFF) == 0) continue;
      if (a == 0 && !premultiplied) continue;
      row[static_cast<std::size_t>(i)] =
          Blend(p, row[static_cast<std::size_t>(i)], a, premultiplied, constant);
    }
    writer.Write(ty, xs.first, n, row.data());
  }
}

bool AnyAlpha(const BYTE* bits, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i)
    if (bits[i * 4 + 3] != 0) return true;
  return false;
}

}  // namespace

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BYTE constantAlpha) {
  if (dst == nullptr || src == nullptr || src->state.bitmap == nullptr || width < 0 || height < 0 ||
      srcWidth < 0 || srcHeight < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Surface target = TargetSurface(dst);
  if (!target.Valid()) return dst->isScreen ? TRUE : FALSE;
  const RECT clip = DrawableRect(dst);
  if (IsEmpty(clip)) return TRUE;
  const GdiBitmap* source = src->state.bitmap;
  const bool premultiplied = source->bitsPerPixel == 32;
  BlendStretch(target, clip, x + dst->state.viewportOrg.x, y + dst->state.viewportOrg.y, width, height,
               source, srcX + src->state.viewportOrg.x, srcY + src->state.viewportOrg.y, srcWidth, srcHeight,
               premultiplied, constantAlpha);
  return TRUE;
}

HICON CreateIcon(void*, int width, int height, BYTE planes, BYTE bitsPerPixel, const BYTE* andBits,
                 const BYTE* xorBits) {
  const int depth = planes * bitsPerPixel;
  if (width <= 0 || height <= 0 || andBits == nullptr || xorBits == nullptr || (depth != 1 && depth != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiBitmap* mask = NewDeviceBitmap(width, height, true);
  GdiBitmap* image = mask != nullptr ? NewDeviceBitmap(width, height, false) : nullptr;
  if (image == nullptr) {
    FreeBitmap(mask);
    return nullptr;
  }
  std::memcpy(mask->bits, andBits, static_cast<std::size_t>(mask->stride) * height);
  bool alpha = false;
  if (depth == 32) {
    std::memcpy(image->bits, xorBits, static_cast<std::size_t>(image->stride) * height);
    alpha = AnyAlpha(image->bits, static_cast<std::size_t>(image->stride / 4) * height);
    if (!alpha) MarkOpaque(image);
  } else {
    ExpandMonochrome(image, xorBits);
  }
  auto* icon = new GdiIcon;
  icon->width = width;
  icon->height = height;
  icon->bitsPerPixel = static_cast<WORD>(depth);
  icon->alpha = alpha;
  icon->mask = mask;
  icon->image = image;
  return icon;
}

BOOL DestroyIcon(HICON icon) {
  if (icon == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!icon->stock) delete icon;
  return TRUE;
}

HICON LoadIconA(void* instance, int id) {
  if (instance != nullptr || id != IDI_APPLICATION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  static GdiIcon* application = MakeApplicationIcon();
  return application;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH brush, UINT flags) {
  if (dc == nullptr || icon == nullptr || (flags & DI_NORMAL) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (cx == 0) cx = icon->width;
  if (cy == 0) cy = icon->height;
  if (brush != nullptr) {
    const RECT area{x, y, x + cx, y + cy};
    FillRect(dc, &area, brush);
  }
  const Surface target = TargetSurface(dc);
  if (!target.Valid()) return TRUE;
  StretchRequest q;
  q.x = x + dc->state.viewportOrg.x;
  q.y = y + dc->state.viewportOrg.y;
  q.width = cx;
  q.height = cy;
  q.srcWidth = icon->width;
  q.srcHeight = icon->height;
  q.monoZero = 0x000000;  // icons ignore the context's text and background colours
  q.monoOne = 0xFFFFFF;
  q.sourceBackground = 0xFFFFFF;
  q.clip = DrawableRect(dc);
  if (IsEmpty(q.clip)) return TRUE;
  if (icon->alpha) {
    if (flags & DI_IMAGE)
      BlendStretch(target, q.clip, q.x, q.y, cx, cy, icon->image, 0, 0, icon->width, icon->height, false,
                   255);
    return TRUE;
  }
  if (flags & DI_MASK) {
    q.rop = 0x88;  // SRCAND
    StretchSurface(target, SurfaceOf(icon->mask), q);
  }
  if (flags & DI_IMAGE) {
    q.rop = (flags & DI_MASK) ? 0x66 : 0xCC;  // SRCINVERT over the mask, else SRCCOPY
    StretchSurface(target, SurfaceOf(icon->image), q);
  }
  return TRUE;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  if (icon == nullptr || info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->fIcon = TRUE;
  info->xHotspot = static_cast<DWORD>(icon->width / 2);
  info->yHotspot = static_cast<DWORD>(icon->height / 2);
  info->hbmMask = CopyBitmap(icon->mask);
  info->hbmColor = CopyBitmap(icon->image);
  if (info->hbmMask == nullptr || info->hbmColor == nullptr) {
    FreeBitmap(info->hbmMask);
    FreeBitmap(info->hbmColor);
    info->hbmMask = info->hbmColor = nullptr;
    return FALSE;
  }
  return TRUE;
}

}  // namespace lumivane
