// Object lifetime: stock objects, selection counting, deletion and object descriptions.

#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/platform_error.h"

namespace lumivane {

GdiIcon::~GdiIcon() {
  gdi_detail::FreeBitmap(mask);
  gdi_detail::FreeBitmap(image);
}

namespace gdi_detail {

namespace {

LOGFONTA MakeLogFont(LONG height, const char* face) {
  LOGFONTA f{};
  f.lfHeight = height;
  f.lfWeight = FW_NORMAL;
  f.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(f.lfFaceName, face, LF_FACESIZE - 1);
  return f;
}

// Every stock object, made on first use and never freed.
struct StockObjects {
  GdiBitmap bitmap;
  GdiBrush brushes[6];
  GdiPen pens[3];
  GdiFont variableFont;
  GdiFont fixedFont;
  GdiPalette palette;

  StockObjects() {
    bitmap.width = bitmap.height = 1;
    bitmap.bitsPerPixel = 1;
    bitmap.stride = 2;
    bitmap.memory = PixelMemory(2);
    bitmap.bits = bitmap.memory.data();
    const COLORREF brushColours[6] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                      RGB(64, 64, 64),    RGB(0, 0, 0),       0};
    for (int i = 0; i < 6; ++i) {
      brushes[i].color = brushColours[i];
      brushes[i].style = i == NULL_BRUSH ? BS_NULL : BS_SOLID;
    }
    pens[0].color = RGB(255, 255, 255);
    pens[1].color = RGB(0, 0, 0);
    pens[2].style = PS_NULL;
    variableFont.log = MakeLogFont(-11, "MS Sans Serif");
    fixedFont.log = MakeLogFont(-13, "Courier New");
    palette.entries = SystemPaletteEntries();
    GdiObject* all[] = {&bitmap, &variableFont, &fixedFont, &palette};
    for (GdiObject* o : all) o->stock = true;
    for (GdiBrush& b : brushes) b.stock = true;
    for (GdiPen& p : pens) p.stock = true;
  }
};

StockObjects& Stock() {
  static StockObjects* stock = new StockObjects;
  return *stock;
}

void Destroy(GdiObject* object) {
  if (object->deleteClaimed.exchange(true)) return;
  delete object;
}

}  // namespace

GdiBitmap* StockBitmap() { return &Stock().bitmap; }

GdiBrush* StockBrush(int index) {
  return index >= WHITE_BRUSH && index <= NULL_BRUSH ? &Stock().brushes[index] : nullptr;
}

GdiPen* StockPen(int index) {
  return index >= WHITE_PEN && index <= NULL_PEN ? &Stock().pens[index - WHITE_PEN] : nullptr;
}

GdiFont* StockFont(int index) {
  switch (index) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
      return &Stock().fixedFont;
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case DEFAULT_GUI_FONT:
      return &Stock().variableFont;
    default:
      return nullptr;
  }
}

GdiPalette* DefaultPalette() { return &Stock().palette; }

void Retain(GdiObject* object) {
  if (object != nullptr && !object->stock) object->selections.fetch_add(1);
}

void Release(GdiObject* object) {
  if (object == nullptr || object->stock) return;
  if (object->selections.fetch_sub(1) != 1) return;
  if (auto* bitmap = dynamic_cast<GdiBitmap*>(object)) bitmap->owner.store(nullptr);
  if (object->deletePending.load()) Destroy(object);
}

void RetainState(const GdiDCState& s) {
  Retain(s.bitmap);
  Retain(s.brush);
  Retain(s.pen);
  Retain(s.font);
  Retain(s.palette);
}

void ReleaseState(const GdiDCState& s) {
  Release(s.bitmap);
  Release(s.brush);
  Release(s.pen);
  Release(s.font);
  Release(s.palette);
}

GdiDCState DefaultState(bool screen) {
  GdiDCState s;
  s.bitmap = screen ? nullptr : StockBitmap();
  s.brush = StockBrush(WHITE_BRUSH);
  s.pen = StockPen(BLACK_PEN);
  s.font = StockFont(SYSTEM_FONT);
  s.palette = DefaultPalette();
  return s;
}

void FreeBitmap(GdiBitmap* bitmap) {
  if (bitmap != nullptr && !bitmap->stock) delete bitmap;
}

}  // namespace gdi_detail

using namespace gdi_detail;

BOOL DeleteObject(HGDIOBJ object) {
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  if (auto* bitmap = dynamic_cast<GdiBitmap*>(object)) {
    if (bitmap->selections.load() > 0) {
      SetLastError(ERROR_BUSY);
      return FALSE;
    }
    delete bitmap;
    return TRUE;
  }
  // Brushes, pens, fonts and palettes still selected somewhere die with their last selection.
  object->deletePending.store(true);
  if (object->selections.load() == 0) Destroy(object);
  return TRUE;
}

HGDIOBJ GetStockObject(int index) {
  if (GdiBrush* b = StockBrush(index)) return b;
  if (GdiPen* p = StockPen(index)) return p;
  if (GdiFont* f = StockFont(index)) return f;
  if (index == DEFAULT_PALETTE) return DefaultPalette();
  return nullptr;
}

UINT GetObjectType(HGDIOBJ object) { return object == nullptr ? 0 : object->ObjectType(); }

namespace {

int DescribeBitmap(const GdiBitmap* bitmap, int size, void* out) {
  const int needed = bitmap->isDib ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
  if (out == nullptr) return needed;
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  DIBSECTION ds{};
  ds.dsBm.bmType = 0;
  ds.dsBm.bmWidth = bitmap->width;
  ds.dsBm.bmHeight = bitmap->height;
  ds.dsBm.bmWidthBytes = bitmap->stride;
  ds.dsBm.bmPlanes = 1;
  ds.dsBm.bmBitsPixel = bitmap->bitsPerPixel;
  ds.dsBm.bmBits = bitmap->isDib ? bitmap->bits : nullptr;
  if (!bitmap->isDib || size < static_cast<int>(sizeof(DIBSECTION))) {
    std::memcpy(out, &ds.dsBm, sizeof(BITMAP));
    return static_cast<int>(sizeof(BITMAP));
  }
  ds.dsBmih = bitmap->header;
  const Surface s = SurfaceOf(bitmap);
  for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = s.masks[i];
  ds.dshSection = bitmap->section;
  ds.dsOffset = bitmap->sectionOffset;
  std::memcpy(out, &ds, sizeof(DIBSECTION));
  return static_cast<int>(sizeof(DIBSECTION));
}

template <typename T>
int CopyOut(const T& value, int size, void* out) {
  if (out == nullptr) return static_cast<int>(sizeof(T));
  if (size < static_cast<int>(sizeof(T))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, &value, sizeof(T));
  return static_cast<int>(sizeof(T));
}

}  // namespace

int GetObjectA(HGDIOBJ object, int size, void* out) {
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (auto* bitmap = dynamic_cast<GdiBitmap*>(object)) return DescribeBitmap(bitmap, size, out);
  if (auto* palette = dynamic_cast<GdiPalette*>(object))
    return CopyOut(static_cast<WORD>(palette->entries.size()), size, out);
  if (auto* font = dynamic_cast<GdiFont*>(object)) return CopyOut(font->log, size, out);
  if (auto* brush = dynamic_cast<GdiBrush*>(object))
    return CopyOut(LOGBRUSH{brush->style, brush->color, 0}, size, out);
  if (auto* pen = dynamic_cast<GdiPen*>(object))
    return CopyOut(LOGPEN{static_cast<UINT>(pen->style), POINT{pen->width, 0}, pen->color}, size, out);
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

}  // namespace lumivane
