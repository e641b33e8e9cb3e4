#pragma once
// The software raster device: bitmaps, palettes, device contexts, blits, masks, icons and text,
// with the calling conventions of the platform's classic graphics interface. Failures return 0
// (or FALSE) and set the platform's last error where a caller could learn something from it.
//
// Coordinates given to drawing calls are logical: the device context's viewport origin is added
// to get device (bitmap) coordinates, and the clip rectangle limits what is drawn.
// Device contexts are used by one thread at a time; objects may be created and deleted from any
// thread.

#include <cstddef>

#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"
#include "platform/win_types.h"

namespace lumivane {

// ---- screen and system metrics -------------------------------------------------------------

// Size reported for the screen (HORZRES/VERTRES, SM_CXSCREEN/SM_CYSCREEN); default 1024 x 768.
void SetScreenMetrics(int width, int height);
int GetSystemMetrics(int index);  // SM_CXSCREEN, SM_CYSCREEN, SM_CXICON, SM_CYICON (32)

// ---- device contexts -----------------------------------------------------------------------

// Only null (the screen) is accepted; the screen has no pixels of its own: drawing onto it does
// nothing and reading from it fails.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);
// A memory context with the stock 1 x 1 monochrome bitmap selected.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int SaveDC(HDC dc);                 // returns the saved level (1, 2, ...) or 0
BOOL RestoreDC(HDC dc, int level);  // level -1 = the last saved state

// Returns the previous object of the same kind, or null on failure. A bitmap can be selected
// into one context at a time. Selecting a palette this way is refused (use SelectPalette).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Frees the object. Stock objects are left alone (TRUE). A bitmap selected into a context is not
// freed (FALSE); a selected brush, pen, font or palette is freed once it is deselected.
BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);  // OBJ_BITMAP, OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_PAL
UINT GetObjectType(HGDIOBJ object);
// Bitmaps: a BITMAP, or a DIBSECTION when size allows and the bitmap is a DIB section. Palettes:
// a WORD entry count. Fonts: LOGFONTA. Brushes: LOGBRUSH. Pens: LOGPEN. With out null: the size
// needed. Returns the number of bytes written, 0 on failure.
int GetObjectA(HGDIOBJ object, int size, void* out);

// The screen and every memory context report 32 bits per pixel, 1 plane and no palette; a memory
// context with a bitmap of its own selected reports that bitmap's depth (with RC_PALETTE and
// 2^depth colours for depths of 8 bits or less).
int GetDeviceCaps(HDC dc, int index);

// ---- drawing state -------------------------------------------------------------------------

COLORREF SetBkColor(HDC dc, COLORREF color);  // returns the previous value or CLR_INVALID
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
int SetBkMode(HDC dc, int mode);  // TRANSPARENT or OPAQUE; returns the previous mode
int GetBkMode(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
int SetMapMode(HDC dc, int mode);  // only MM_TEXT
int GetMapMode(HDC dc);
// Clip rectangle: IntersectClipRect takes logical coordinates; SelectClipRect takes device
// coordinates (null removes the clip). Both return NULLREGION, SIMPLEREGION or RGN_ERROR.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int SelectClipRect(HDC dc, const RECT* deviceRect);
int GetClipBox(HDC dc, RECT* logicalRect);  // visible part of the target, logical coordinates
// The part of Rect (logical coordinates) that drawing on dc can reach: an empty rectangle when none
// of it can, Rect itself when dc cannot say.
RECT VisiblePartOf(HDC dc, const RECT& rect);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);  // returns the colour set
COLORREF GetPixel(HDC dc, int x, int y);                  // CLR_INVALID outside the target

// ---- brushes, pens, fills ------------------------------------------------------------------

HBRUSH CreateSolidBrush(COLORREF color);
HPEN CreatePen(int style, int width, COLORREF color);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);  // pen outline, brush inside
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);             // the end point is not drawn
BOOL DrawFocusRect(HDC dc, const RECT* rect);  // dotted rectangle drawn by inverting pixels

// ---- blits ---------------------------------------------------------------------------------

// Colour to a monochrome device bitmap: source pixels equal to the SOURCE context's background
// colour become 1, all others 0. Monochrome device bitmap to colour: 0 bits take the DESTINATION
// context's text colour, 1 bits its background colour. 1-bit DIB sections are colour bitmaps
// with a two-entry colour table (read through it, written with the nearest entry).
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Negative widths or heights mirror. COLORONCOLOR, BLACKONWHITE and WHITEONBLACK drop or repeat
// rows and columns; HALFTONE averages the source area under each destination pixel.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
// The source position, counted from the source's start, that a stretch which drops or repeats
// pixels takes for destination position K of DstSize (counted from the destination's start, not
// mirrored): the one under the centre of that destination pixel.
long long PointSampledSource(long long K, int DstSize, int SrcSize);
// Blends the source (stretched like COLORONCOLOR) over the destination by its alpha: a 32-bit
// DIB section holds colours premultiplied by the alpha in each pixel's fourth byte; a DIB
// section of 8 bits or fewer takes each colour's alpha from the reserved byte of its colour-table
// entry (straight colours). `constantAlpha` scales every alpha (255: as stored).
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BYTE constantAlpha);
// Copies (stretched like COLORONCOLOR) every source pixel whose colour differs from `key`.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, COLORREF key);

// ---- bitmaps -------------------------------------------------------------------------------

// 1 bit: a monochrome device bitmap; otherwise a 32-bit device bitmap. `bits` (may be null) are
// in device layout: rows top-down, each padded to 2 bytes, at the given depth (1 or 32).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// 32-bit, or monochrome when the context holds a monochrome bitmap (a fresh memory context does)
// or when width or height is 0 (a 1 x 1 monochrome bitmap).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 1, 4, 8 bits with colour tables; 16 (BI_RGB = 5-5-5, or BI_BITFIELDS masks); 24; 32 (BI_RGB or
// BI_BITFIELDS). The pixel memory is zeroed; *bits receives it. `section` and `offset` are kept
// for GetObjectA only; the memory is always the device's own.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device bitmap compatible with `dc` (see CreateCompatibleBitmap) of the header's size; with
// CBM_INIT the DIB `bits` described by `info` are converted into it: BI_RGB, BI_BITFIELDS, and
// BI_RLE8 / BI_RLE4 run-length data of biSizeImage bytes (pixels the runs skip stay black).
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies `lines` scan lines from scan line `start` (counted from the bottom for a bottom-up
// request) into `bits` in the format of `info` (1, 4, 8, 16, 24 or 32 bits; BI_RGB or
// BI_BITFIELDS). With bits null: fills in the header (biBitCount 0: the bitmap's own format,
// no colour table) or the colour table and biSizeImage. Returns the lines copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
// The reverse of GetDIBits (including run-length data); returns the lines written.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage);
// Rows of the bitmap as stored (device bitmaps: top-down, 2-byte aligned). Returns bytes copied.
LONG GetBitmapBits(HBITMAP bitmap, LONG size, void* bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD size, const void* bits);
// Colour table of the DIB section selected into `dc`.
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
BOOL GdiFlush();
// Not a call of the classic interface: the DIB section's pixel memory from byte `offset` on (in
// memory order) will not be written. Reading it then costs no memory (the system's zero page).
void LeaveDIBUnwritten(HBITMAP bitmap, std::size_t offset);

// ---- palettes ------------------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* palette);
// 256 entries: the 20 static system colours and a 6 x 6 x 6 colour cube with grey steps.
HPALETTE CreateHalftonePalette(HDC dc);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);  // no effect on 32-bit targets; returns the entry count
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
// The colour itself on targets of more than 8 bits; on palette targets the nearest entry of the
// target's colour table (or selected palette). Palette-relative and palette-index forms resolve.
COLORREF GetNearestColor(HDC dc, COLORREF color);

// ---- text ----------------------------------------------------------------------------------
// Needs a QGuiApplication. "MS Sans Serif" and "Arial" are drawn with "Liberation Sans".

HFONT CreateFontIndirectA(const LOGFONTA* font);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
// `text` is UTF-8; len < 0 means up to the terminating 0. (x, y) is the top-left of the cell.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int len);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int len, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// Single-line drawing (DT_SINGLELINE) with DT_LEFT/DT_CENTER/DT_RIGHT, DT_VCENTER/DT_BOTTOM,
// DT_END_ELLIPSIS; DT_CALCRECT only measures (adjusting rect's right and bottom). Returns the
// text height.
int DrawTextA(HDC dc, const char* text, int len, RECT* rect, UINT format);

// ---- icons ---------------------------------------------------------------------------------

// andBits and xorBits are in device layout (rows top-down, each padded to 2 bytes); bitsPerPixel
// is 1 or 32. A 32-bit image with any non-zero fourth byte is an alpha icon: its colours
// (straight, not premultiplied) are blended over the destination by that alpha and the mask is
// not used; otherwise the image is opaque and drawn through the mask.
HICON CreateIcon(void* instance, int width, int height, BYTE planes, BYTE bitsPerPixel, const BYTE* andBits,
                 const BYTE* xorBits);
BOOL DestroyIcon(HICON icon);
// The system's application icon (32 x 32) for a null instance and IDI_APPLICATION.
HICON LoadIconA(void* instance, int id);
// cx = cy = 0: the icon's own size. DI_NORMAL: the mask is ANDed, then the image XORed (alpha
// icons: the image is blended).
// A brush fills the rectangle first.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH brush, UINT flags);
// Copies of the icon's mask and colour bitmaps (the caller deletes them).
BOOL GetIconInfo(HICON icon, ICONINFO* info);

// Address of the bitmap's top row and the signed distance in bytes from one row to the next
// below it (negative for bottom-up DIB sections); null for an invalid bitmap.
void* BitmapPixels(HBITMAP bitmap, int* stride);

}  // namespace lumivane
