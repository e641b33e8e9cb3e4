// Icons: an AND mask and an XOR image, drawn by masking and then inverting the destination.

#include <cstring>

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

}  // namespace

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
  if (depth == 32) {
    std::memcpy(image->bits, xorBits, static_cast<std::size_t>(image->stride) * height);
    MarkOpaque(image);
  } else {
    ExpandMonochrome(image, xorBits);
  }
  auto* icon = new GdiIcon;
  icon->width = width;
  icon->height = height;
  icon->bitsPerPixel = static_cast<WORD>(depth);
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
