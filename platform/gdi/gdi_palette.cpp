// Logical palettes, the system and half-tone colour sets, and nearest-colour queries.

#include <algorithm>

#include "platform/gdi/gdi_internal.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace gdi_detail {

std::vector<PALETTEENTRY> SystemPaletteEntries() {
  return {
      {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
      {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
      {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
      {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0},
  };
}

std::vector<PALETTEENTRY> HalftonePaletteEntries() {
  // The first ten and last ten entries are the static system colours; between them a
  // 6 x 6 x 6 colour cube and twenty grey steps.
  std::vector<PALETTEENTRY> e = {
      {0, 0, 0, 0},     {128, 0, 0, 0},   {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
      {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
  };
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        e.push_back(
            PALETTEENTRY{static_cast<BYTE>(r * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(b * 51), 0});
  for (int i = 1; i <= 20; ++i) {
    const BYTE v = static_cast<BYTE>(i * 255 / 21);
    e.push_back(PALETTEENTRY{v, v, v, 0});
  }
  const PALETTEENTRY last[10] = {
      {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},
      {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0},
  };
  e.insert(e.end(), std::begin(last), std::end(last));
  return e;
}

}  // namespace gdi_detail

using namespace gdi_detail;

namespace {

std::uint32_t PixelOf(const PALETTEENTRY& e) {
  return (std::uint32_t{e.peRed} << 16) | (std::uint32_t{e.peGreen} << 8) | e.peBlue;
}

std::vector<std::uint32_t> Pixels(const std::vector<PALETTEENTRY>& entries) {
  std::vector<std::uint32_t> out;
  out.reserve(entries.size());
  for (const PALETTEENTRY& e : entries) out.push_back(PixelOf(e));
  return out;
}

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (palette == nullptr || palette->palNumEntries == 0 || palette->palVersion != 0x300) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* result = new GdiPalette;
  result->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return result;
}

HPALETTE CreateHalftonePalette(HDC) {
  auto* result = new GdiPalette;
  result->entries = HalftonePaletteEntries();
  return result;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  if (dc == nullptr || palette == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  GdiPalette* previous = dc->state.palette;
  Retain(palette);
  dc->state.palette = palette;
  Release(previous);
  return previous != nullptr ? previous : DefaultPalette();
}

UINT RealizePalette(HDC dc) {
  if (dc == nullptr) return 0;
  return static_cast<UINT>(PaletteOf(dc)->entries.size());
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  if (palette == nullptr) return 0;
  const UINT size = static_cast<UINT>(palette->entries.size());
  if (entries == nullptr) return size;
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::copy_n(palette->entries.begin() + start, n, entries);
  return n;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
  if (palette == nullptr || entries == nullptr || palette->stock) return 0;
  const UINT size = static_cast<UINT>(palette->entries.size());
  if (start >= size) return 0;
  const UINT n = std::min(count, size - start);
  std::copy_n(entries, n, palette->entries.begin() + start);
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  if (palette == nullptr || palette->entries.empty()) return CLR_INVALID;
  ColourMatcher matcher(Pixels(palette->entries));
  return static_cast<UINT>(matcher.Nearest(PixelFromRgb(color & 0xFFFFFF)));
}

COLORREF GetNearestColor(HDC dc, COLORREF color) {
  if (dc == nullptr) return CLR_INVALID;
  const std::uint32_t pixel = ResolvePixel(dc, color);
  const Surface target = TargetSurface(dc);
  const GdiBitmap* own = dc->state.bitmap;
  if (!target.Valid() || own == nullptr || own->stock || target.bitsPerPixel > 8) return RgbFromPixel(pixel);
  const RowReader reader(target);
  return RgbFromPixel(reader.RoundTrip(pixel));
}

}  // namespace lumivane
