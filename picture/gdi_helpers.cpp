#include "picture/gdi_helpers.h"

#include <algorithm>
#include <cstring>

#include "framework/exception.h"
#include "picture/bitmap_canvas.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

ScreenDC::ScreenDC() : dc(GetDC(nullptr)) {
  if (dc == nullptr) throw EOutOfResources(SOutOfResources);
}

ScreenDC::~ScreenDC() { ReleaseDC(nullptr, dc); }

MemoryDC::MemoryDC() : dc(CreateCompatibleDC(nullptr)) {
  if (dc == nullptr) throw EOutOfResources(SOutOfResources);
}

MemoryDC::~MemoryDC() { DeleteDC(dc); }

ObjectGuard::~ObjectGuard() {
  if (object != nullptr) DeleteObject(object);
}

void BitmapInfo::Set(const BITMAPINFOHEADER& header, const DWORD* masks, const RGBQUAD* colors, int count) {
  count = std::clamp(count, 0, 256);
  const size_t words = 10 + (masks ? 3 : 0) + static_cast<size_t>(count);
  words_.assign(words, 0);
  BITMAPINFOHEADER h = header;
  h.biSize = 40;
  std::memcpy(words_.data(), &h, sizeof(h));
  size_t at = 10;
  if (masks != nullptr) {
    std::memcpy(&words_[at], masks, 3 * sizeof(DWORD));
    at += 3;
  }
  if (count > 0) std::memcpy(&words_[at], colors, static_cast<size_t>(count) * sizeof(RGBQUAD));
}

HPALETTE PaletteFromColors(const RGBQUAD* colors, int count) {
  count = std::clamp(count, 0, 256);
  if (count == 0) return nullptr;
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + static_cast<size_t>(count) * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(count);
  for (int i = 0; i < count; ++i) {
    palette->palPalEntry[i].peRed = colors[i].rgbRed;
    palette->palPalEntry[i].peGreen = colors[i].rgbGreen;
    palette->palPalEntry[i].peBlue = colors[i].rgbBlue;
    palette->palPalEntry[i].peFlags = 0;
  }
  return CreatePalette(palette);
}

std::vector<RGBQUAD> ColorsFromPalette(HPALETTE palette, int count) {
  if (palette == nullptr || count <= 0) return {};
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(std::min(count, 256)));
  const UINT got = GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data());
  std::vector<RGBQUAD> colors(got);
  for (UINT i = 0; i < got; ++i)
    colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  return colors;
}

HPALETTE CopyPalette(HPALETTE palette) {
  if (palette == nullptr) return nullptr;
  WORD count = 0;
  if (GetObjectA(palette, sizeof(count), &count) == 0 || count == 0) return nullptr;
  std::vector<PALETTEENTRY> entries(count);
  GetPaletteEntries(palette, 0, count, entries.data());
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* copy = reinterpret_cast<LOGPALETTE*>(buffer.data());
  copy->palVersion = 0x300;
  copy->palNumEntries = count;
  std::memcpy(copy->palPalEntry, entries.data(), count * sizeof(PALETTEENTRY));
  return CreatePalette(copy);
}

std::vector<RGBQUAD> DIBColorTable(HBITMAP dib, int count) {
  std::vector<RGBQUAD> colors(static_cast<size_t>(std::clamp(count, 0, 256)));
  if (dib == nullptr || colors.empty()) return {};
  DeselectBitmap(dib);
  MemoryDC dc;
  HGDIOBJ old = SelectObject(dc.dc, dib);
  const UINT got = GetDIBColorTable(dc.dc, 0, static_cast<UINT>(colors.size()), colors.data());
  SelectObject(dc.dc, old);
  colors.resize(got);
  return colors;
}

bool IsDIBSection(HBITMAP bitmap) {
  DIBSECTION dib{};
  return bitmap != nullptr &&
         GetObjectA(bitmap, sizeof(DIBSECTION), &dib) == static_cast<int>(sizeof(DIBSECTION));
}

BITMAP BitmapRecord(HBITMAP bitmap) {
  BITMAP bm{};
  if (bitmap != nullptr) GetObjectA(bitmap, sizeof(BITMAP), &bm);
  return bm;
}

}  // namespace lumivane
