#pragma once
// The objects behind the raster device's handles. Callers treat them as opaque and go through the
// functions of gdi.h; they are defined here so that a typed handle converts to HGDIOBJ.

#include <atomic>
#include <vector>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/pixel_memory.h"

namespace lumivane {

struct GdiDC;

// Base of every object that DeleteObject frees. Objects selected into a device context (or held
// by a saved state of one) count their selections; deleting a selected brush, pen, font or
// palette is deferred until the last selection ends, deleting a selected bitmap fails.
struct GdiObject {
  virtual ~GdiObject() = default;
  virtual UINT ObjectType() const = 0;

  bool stock = false;  // stock objects are never freed
  std::atomic<int> selections{0};
  std::atomic<bool> deletePending{false};
  std::atomic<bool> deleteClaimed{false};
};

// A device bitmap (32-bit colour or 1-bit monochrome, rows top-down, 2-byte aligned rows) or a DIB
// section (1, 4, 8, 16, 24 or 32 bits, rows in the order of the creating header, 4-byte aligned).
struct GdiBitmap : GdiObject {
  UINT ObjectType() const override { return OBJ_BITMAP; }

  LONG width = 0;
  LONG height = 0;  // always positive
  WORD bitsPerPixel = 32;
  bool isDib = false;
  bool topDown = true;  // row 0 of memory is the top row
  LONG stride = 0;      // bytes per row in memory
  BYTE* bits = nullptr;
  PixelMemory memory;
  std::vector<RGBQUAD> colors;  // colour table of DIB sections of 1, 4 or 8 bits
  DWORD compression = BI_RGB;   // BI_RGB or BI_BITFIELDS for DIB sections
  DWORD masks[3] = {0, 0, 0};   // red, green, blue masks of 16- and 32-bit DIB sections
  BITMAPINFOHEADER header{};    // the header the DIB section was made from (normalised)
  HANDLE section = nullptr;
  DWORD sectionOffset = 0;
  std::atomic<GdiDC*> owner{nullptr};  // device context the bitmap is selected into

  bool IsMonochromeDevice() const { return !isDib && bitsPerPixel == 1; }
};

struct GdiPalette : GdiObject {
  UINT ObjectType() const override { return OBJ_PAL; }
  std::vector<PALETTEENTRY> entries;
};

struct GdiBrush : GdiObject {
  UINT ObjectType() const override { return OBJ_BRUSH; }
  UINT style = BS_SOLID;
  COLORREF color = 0;
};

struct GdiPen : GdiObject {
  UINT ObjectType() const override { return OBJ_PEN; }
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct GdiFont : GdiObject {
  UINT ObjectType() const override { return OBJ_FONT; }
  LOGFONTA log{};
};

// An icon: a monochrome AND mask and a 32-bit colour image of the same size (a monochrome icon's
// image is converted to black and white colour pixels).
struct GdiIcon : GdiObject {
  UINT ObjectType() const override { return OBJ_ICON; }
  ~GdiIcon() override;
  LONG width = 0;
  LONG height = 0;
  WORD bitsPerPixel = 32;  // depth the icon was created with
  bool alpha = false;      // the image's fourth bytes are straight alpha; the mask is not used
  GdiBitmap* mask = nullptr;
  GdiBitmap* image = nullptr;
};

// Everything SaveDC keeps and RestoreDC brings back.
struct GdiDCState {
  GdiBitmap* bitmap = nullptr;
  GdiBrush* brush = nullptr;
  GdiPen* pen = nullptr;
  GdiFont* font = nullptr;
  GdiPalette* palette = nullptr;
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  int mapMode = MM_TEXT;
  POINT viewportOrg{};
  POINT brushOrg{};
  POINT penPos{};
  bool hasClip = false;
  RECT clip{};  // device coordinates, valid when hasClip
};

// A device context: the screen (no pixels of its own) or a memory context drawing into the
// bitmap selected into it. Used by one thread at a time.
struct GdiDC {
  bool isScreen = false;
  GdiDCState state;
  std::vector<GdiDCState> saved;
};

using HGDIOBJ = GdiObject*;
using HBITMAP = GdiBitmap*;
using HPALETTE = GdiPalette*;
using HBRUSH = GdiBrush*;
using HPEN = GdiPen*;
using HFONT = GdiFont*;
using HICON = GdiIcon*;
using HDC = GdiDC*;

}  // namespace lumivane
