// Device contexts: creation, saved states, selection, drawing state, clipping and pixels.

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/gdi/gdi_internal.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

std::atomic<int> screenWidth{1024};
std::atomic<int> screenHeight{768};

bool CheckDC(HDC dc) {
  if (dc != nullptr) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

// Bitmap selected into a memory context other than the stock one, or null.
const GdiBitmap* OwnBitmap(HDC dc) {
  const GdiBitmap* b = dc->state.bitmap;
  return b != nullptr && !b->stock ? b : nullptr;
}

}  // namespace

namespace gdi_detail {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) r = RECT{};
  return r;
}

const GdiPalette* PaletteOf(HDC dc) {
  return dc != nullptr && dc->state.palette != nullptr ? dc->state.palette : DefaultPalette();
}

std::uint32_t ResolvePixel(HDC dc, COLORREF color) {
  if ((color & 0xFF000000u) == 0x01000000u) {
    const GdiPalette* palette = PaletteOf(dc);
    const std::size_t index = color & 0xFFFF;
    if (index >= palette->entries.size()) return 0;
    const PALETTEENTRY& e = palette->entries[index];
    return (std::uint32_t{e.peRed} << 16) | (std::uint32_t{e.peGreen} << 8) | e.peBlue;
  }
  return PixelFromRgb(color & 0xFFFFFF);
}

Surface TargetSurface(HDC dc) {
  if (dc == nullptr || dc->isScreen) return Surface{};
  return SurfaceOf(dc->state.bitmap);
}

RECT DrawableRect(HDC dc) {
  const Surface s = TargetSurface(dc);
  if (!s.Valid()) return RECT{};
  RECT r{0, 0, s.width, s.height};
  if (dc->state.hasClip) r = Intersect(r, dc->state.clip);
  return r;
}

}  // namespace gdi_detail

using namespace gdi_detail;

// ---- screen --------------------------------------------------------------------------------

void SetScreenMetrics(int width, int height) {
  screenWidth.store(width);
  screenHeight.store(height);
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return screenWidth.load();
    case SM_CYSCREEN:
      return screenHeight.load();
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    default:
      return 0;
  }
}

// ---- creation ------------------------------------------------------------------------------

HDC GetDC(void* window) {
  if (window != nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* dc = new GdiDC;
  dc->isScreen = true;
  dc->state = DefaultState(true);
  return dc;
}

int ReleaseDC(void* window, HDC dc) {
  if (dc == nullptr || !dc->isScreen) return 0;
  return DeleteDC(dc);
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new GdiDC;
  dc->state = DefaultState(false);
  return dc;
}

BOOL DeleteDC(HDC dc) {
  if (!CheckDC(dc)) return FALSE;
  ReleaseState(dc->state);
  for (const GdiDCState& s : dc->saved) ReleaseState(s);
  delete dc;
  return TRUE;
}

int SaveDC(HDC dc) {
  if (!CheckDC(dc)) return 0;
  RetainState(dc->state);
  dc->saved.push_back(dc->state);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC dc, int level) {
  if (!CheckDC(dc)) return FALSE;
  const int count = static_cast<int>(dc->saved.size());
  if (level < 0) level = count + 1 + level;
  if (level < 1 || level > count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ReleaseState(dc->state);
  dc->state = dc->saved[level - 1];  // takes over the saved state's selections
  for (int i = level; i < count; ++i) ReleaseState(dc->saved[i]);
  dc->saved.resize(level - 1);
  return TRUE;
}

// ---- selection -----------------------------------------------------------------------------

namespace {

template <typename T>
HGDIOBJ Swap(T*& slot, T* object) {
  T* previous = slot;
  Retain(object);
  slot = object;
  Release(previous);
  return previous;
}

HGDIOBJ SelectBitmap(HDC dc, GdiBitmap* bitmap) {
  if (dc->isScreen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (bitmap == dc->state.bitmap) return bitmap;
  if (!bitmap->stock) {
    GdiDC* expected = nullptr;
    if (!bitmap->owner.compare_exchange_strong(expected, dc) && expected != dc) {
      SetLastError(ERROR_BUSY);  // selected into another context
      return nullptr;
    }
  }
  return Swap(dc->state.bitmap, bitmap);
}

}  // namespace

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!CheckDC(dc) || object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (auto* bitmap = dynamic_cast<GdiBitmap*>(object)) return SelectBitmap(dc, bitmap);
  if (auto* brush = dynamic_cast<GdiBrush*>(object)) return Swap(dc->state.brush, brush);
  if (auto* pen = dynamic_cast<GdiPen*>(object)) return Swap(dc->state.pen, pen);
  if (auto* font = dynamic_cast<GdiFont*>(object)) return Swap(dc->state.font, font);
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  if (!CheckDC(dc)) return nullptr;
  switch (type) {
    case OBJ_BITMAP:
      return dc->state.bitmap;
    case OBJ_BRUSH:
      return dc->state.brush;
    case OBJ_PEN:
      return dc->state.pen;
    case OBJ_FONT:
      return dc->state.font;
    case OBJ_PAL:
      return const_cast<GdiPalette*>(PaletteOf(dc));
    default:
      return nullptr;
  }
}

// ---- capabilities --------------------------------------------------------------------------

int GetDeviceCaps(HDC dc, int index) {
  if (!CheckDC(dc)) return 0;
  const GdiBitmap* own = OwnBitmap(dc);
  const int bits = own != nullptr ? own->bitsPerPixel : 32;
  const bool palette = bits <= 8;
  switch (index) {
    case HORZRES:
      return screenWidth.load();
    case VERTRES:
      return screenHeight.load();
    case BITSPIXEL:
      return bits;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return palette ? 1 << bits : -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB |
             (palette ? RC_PALETTE : 0);
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case SIZEPALETTE:
      return palette ? 1 << bits : 0;
    case NUMRESERVED:
      return palette ? 20 : 0;
    case COLORRES:
      return 24;
    default:
      return 0;
  }
}

// ---- drawing state -------------------------------------------------------------------------

COLORREF SetBkColor(HDC dc, COLORREF color) {
  if (!CheckDC(dc)) return CLR_INVALID;
  return std::exchange(dc->state.bkColor, color);
}
COLORREF GetBkColor(HDC dc) { return CheckDC(dc) ? dc->state.bkColor : CLR_INVALID; }

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (!CheckDC(dc)) return CLR_INVALID;
  return std::exchange(dc->state.textColor, color);
}
COLORREF GetTextColor(HDC dc) { return CheckDC(dc) ? dc->state.textColor : CLR_INVALID; }

int SetBkMode(HDC dc, int mode) {
  if (!CheckDC(dc) || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->state.bkMode, mode);
}
int GetBkMode(HDC dc) { return CheckDC(dc) ? dc->state.bkMode : 0; }

int SetStretchBltMode(HDC dc, int mode) {
  if (!CheckDC(dc) || mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(dc->state.stretchMode, mode);
}
int GetStretchBltMode(HDC dc) { return CheckDC(dc) ? dc->state.stretchMode : 0; }

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous) {
  if (!CheckDC(dc)) return FALSE;
  if (previous != nullptr) *previous = dc->state.brushOrg;
  dc->state.brushOrg = POINT{x, y};
  return TRUE;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  if (!CheckDC(dc)) return FALSE;
  if (previous != nullptr) *previous = dc->state.viewportOrg;
  dc->state.viewportOrg = POINT{x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC dc, POINT* origin) {
  if (!CheckDC(dc) || origin == nullptr) return FALSE;
  *origin = dc->state.viewportOrg;
  return TRUE;
}

int SetMapMode(HDC dc, int mode) {
  if (!CheckDC(dc) || mode != MM_TEXT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(dc->state.mapMode, mode);
}
int GetMapMode(HDC dc) { return CheckDC(dc) ? dc->state.mapMode : 0; }

// ---- clipping ------------------------------------------------------------------------------

namespace {

RECT TargetBounds(HDC dc) {
  if (dc->isScreen) return RECT{0, 0, screenWidth.load(), screenHeight.load()};
  const Surface s = TargetSurface(dc);
  return RECT{0, 0, s.width, s.height};
}

int RegionKind(HDC dc) {
  RECT visible = TargetBounds(dc);
  if (dc->state.hasClip) visible = Intersect(visible, dc->state.clip);
  return IsEmpty(visible) ? NULLREGION : SIMPLEREGION;
}

RECT Ordered(RECT r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

}  // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (!CheckDC(dc)) return RGN_ERROR;
  const POINT o = dc->state.viewportOrg;
  const RECT r = Ordered(RECT{left + o.x, top + o.y, right + o.x, bottom + o.y});
  dc->state.clip = dc->state.hasClip ? Intersect(dc->state.clip, r) : r;
  dc->state.hasClip = true;
  return RegionKind(dc);
}

int SelectClipRect(HDC dc, const RECT* deviceRect) {
  if (!CheckDC(dc)) return RGN_ERROR;
  dc->state.hasClip = deviceRect != nullptr;
  if (deviceRect != nullptr) dc->state.clip = Ordered(*deviceRect);
  return RegionKind(dc);
}

int GetClipBox(HDC dc, RECT* logicalRect) {
  if (!CheckDC(dc) || logicalRect == nullptr) return RGN_ERROR;
  RECT visible = TargetBounds(dc);
  if (dc->state.hasClip) visible = Intersect(visible, dc->state.clip);
  if (IsEmpty(visible)) {
    *logicalRect = RECT{};
    return NULLREGION;
  }
  const POINT o = dc->state.viewportOrg;
  *logicalRect = RECT{visible.left - o.x, visible.top - o.y, visible.right - o.x, visible.bottom - o.y};
  return SIMPLEREGION;
}

RECT VisiblePartOf(HDC dc, const RECT& rect) {
  RECT box{};
  const int region = GetClipBox(dc, &box);
  if (region == RGN_ERROR) return rect;
  const RECT visible = Intersect(rect, box);
  return region == NULLREGION || IsEmpty(visible) ? RECT{} : visible;
}

// ---- pixels --------------------------------------------------------------------------------

namespace {

bool Contains(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  if (!CheckDC(dc)) return CLR_INVALID;
  const Surface s = TargetSurface(dc);
  x += dc->state.viewportOrg.x;
  y += dc->state.viewportOrg.y;
  if (!s.Valid() || !Contains(DrawableRect(dc), x, y)) return CLR_INVALID;
  RowWriter writer(s);
  writer.WritePixel(x, y, ResolvePixel(dc, color));
  RowReader reader(s);
  return RgbFromPixel(reader.Pixel(x, y));
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (!CheckDC(dc)) return CLR_INVALID;
  const Surface s = TargetSurface(dc);
  x += dc->state.viewportOrg.x;
  y += dc->state.viewportOrg.y;
  if (!s.Valid() || !Contains(DrawableRect(dc), x, y)) return CLR_INVALID;
  RowReader reader(s);
  return RgbFromPixel(reader.Pixel(x, y));
}

}  // namespace lumivane
