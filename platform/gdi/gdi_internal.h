#pragma once
// Helpers shared by the raster device's source files; not part of the public interface.

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/surface.h"

namespace lumivane::gdi_detail {

// ---- objects (gdi_objects.cpp) -------------------------------------------------------------

// Stock objects, created once.
GdiBitmap* StockBitmap();  // the 1 x 1 monochrome bitmap of a fresh memory context
GdiBrush* StockBrush(int index);
GdiPen* StockPen(int index);
GdiFont* StockFont(int index);
GdiPalette* DefaultPalette();

// A selection of the object into a context state starts or ends. Ending the last selection of
// an object whose deletion was asked for frees it.
void Retain(GdiObject* object);
void Release(GdiObject* object);
void RetainState(const GdiDCState& state);
void ReleaseState(const GdiDCState& state);
GdiDCState DefaultState(bool screen);

// Frees a bitmap right away (no selection check); used for internal temporaries.
void FreeBitmap(GdiBitmap* bitmap);

// ---- bitmaps (gdi_bitmap.cpp) --------------------------------------------------------------

// A zeroed device bitmap: 1-bit monochrome or 32-bit colour. Null (with the last error set)
// when the size is invalid or memory runs out.
GdiBitmap* NewDeviceBitmap(int width, int height, bool monochrome);
// Sets the fourth byte of every pixel of a 32-bit device bitmap (after raw bytes were copied in).
void MarkOpaque(GdiBitmap* bitmap);
// Whether bitmaps made compatible with `dc` are monochrome.
bool CompatibleIsMonochrome(HDC dc);

// ---- colours and contexts (gdi_dc.cpp) -----------------------------------------------------

// The palette that palette-index colours refer to in this context.
const GdiPalette* PaletteOf(HDC dc);
// A COLORREF as a pixel: palette indices and palette-relative forms resolved.
std::uint32_t ResolvePixel(HDC dc, COLORREF color);
// The drawing target (invalid for the screen).
Surface TargetSurface(HDC dc);
// The part of the target that may be drawn, in device coordinates; empty when nothing may.
RECT DrawableRect(HDC dc);
bool IsEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);

// Colours of the 16-colour system palette and the 256-colour half-tone palette.
std::vector<PALETTEENTRY> SystemPaletteEntries();
std::vector<PALETTEENTRY> HalftonePaletteEntries();

// ---- blits (gdi_blit.cpp) ------------------------------------------------------------------

// Which source column (or row) each destination column (or row) takes, for the destination
// positions that are inside the clip and whose source lies inside the source.
struct AxisMap {
  int first = 0;            // first destination position drawn
  std::vector<int> source;  // source position of each drawn destination position
  bool mirrored = false;
  int dstPos = 0, dstSize = 0, srcPos = 0, srcSize = 0;  // normalised rectangles
};

// Maps one axis of a stretch (a negative size mirrors): each destination position in
// [clipLo, clipHi) takes the source position under its centre, kept while it is in [0, srcLimit).
// Neither size may be zero.
AxisMap MapAxis(int dstPos, int dstSize, int srcPos, int srcSize, int srcLimit, int clipLo, int clipHi);

struct StretchRequest {
  // Destination rectangle in device coordinates; a negative size mirrors.
  int x = 0, y = 0, width = 0, height = 0;
  // Source rectangle in source surface coordinates; a negative size mirrors.
  int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;
  std::uint8_t rop = 0xCC;  // raster operation index (bits 16..23 of the ROP code)
  bool halftone = false;
  std::uint32_t monoZero = 0;                 // colour of 0 bits of a monochrome device source
  std::uint32_t monoOne = 0xFFFFFF;           // colour of 1 bits
  std::uint32_t sourceBackground = 0xFFFFFF;  // colour that becomes 1 on a monochrome target
  std::uint32_t pattern = 0;                  // the brush colour as a pixel
  bool hasKey = false;                        // leave source pixels of `key` undrawn
  std::uint32_t key = 0;
  RECT clip{};  // device rectangle that may be drawn (already within the target)
};

// Stretches `source` onto `target`. Returns false when a size is zero.
bool StretchSurface(const Surface& target, const Surface& source, const StretchRequest& request);
// Applies a pattern-only raster operation to a rectangle (device coordinates, within clip).
void PatternFill(const Surface& target, const RECT& rect, std::uint8_t rop, std::uint32_t pattern);

}  // namespace lumivane::gdi_detail
