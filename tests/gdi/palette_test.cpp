#include <gtest/gtest.h>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;
using test::InfoBuffer;
using test::MakeInfo;
using test::Quad;

HPALETTE MakePalette(std::initializer_list<PALETTEENTRY> entries) {
  std::vector<BYTE> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(entries.size());
  std::copy(entries.begin(), entries.end(), lp->palPalEntry);
  return CreatePalette(lp);
}

TEST(NearestColour, TrueColourTargetsReturnTheColourItself) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetNearestColor(screen, RGB(13, 17, 19)), RGB(13, 17, 19));
  EXPECT_EQ(GetNearestColor(screen, PALETTERGB(13, 17, 19)), RGB(13, 17, 19));
  ReleaseDC(nullptr, screen);

  Canvas canvas(test::ColourBitmap(2, 2));
  EXPECT_EQ(GetNearestColor(canvas.dc(), RGB(1, 2, 3)), RGB(1, 2, 3));
  // A palette index refers to the selected palette.
  HPALETTE palette = MakePalette({{10, 20, 30, 0}, {40, 50, 60, 0}});
  HPALETTE old = SelectPalette(canvas.dc(), palette, FALSE);
  EXPECT_EQ(RealizePalette(canvas.dc()), 2u);
  EXPECT_EQ(GetNearestColor(canvas.dc(), PALETTEINDEX(1)), RGB(40, 50, 60));
  SelectPalette(canvas.dc(), old, FALSE);
  DeleteObject(palette);
}

TEST(NearestColour, PaletteTargetsReturnTheNearestTableEntry) {
  InfoBuffer info = MakeInfo(2, 2, 8);
  info.header().biClrUsed = 3;
  info.colors()[0] = Quad(0, 0, 0);
  info.colors()[1] = Quad(200, 0, 0);
  info.colors()[2] = Quad(0, 0, 210);
  Canvas canvas(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, nullptr, nullptr, 0));
  EXPECT_EQ(GetNearestColor(canvas.dc(), RGB(255, 10, 10)), RGB(200, 0, 0));
  EXPECT_EQ(GetNearestColor(canvas.dc(), PALETTERGB(20, 20, 180)), RGB(0, 0, 210));
  EXPECT_EQ(GetDeviceCaps(canvas.dc(), BITSPIXEL), 8);
  EXPECT_NE(GetDeviceCaps(canvas.dc(), RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(canvas.dc(), SIZEPALETTE), 256);

  // The colour table can be read and changed through the context.
  RGBQUAD table[4] = {};
  EXPECT_EQ(GetDIBColorTable(canvas.dc(), 1, 4, table), 4u);
  EXPECT_EQ(table[0].rgbRed, 200);
  const RGBQUAD green = Quad(0, 255, 0);
  EXPECT_EQ(SetDIBColorTable(canvas.dc(), 1, 1, &green), 1u);
  EXPECT_EQ(GetNearestColor(canvas.dc(), RGB(255, 10, 10)), RGB(0, 0, 0));
  EXPECT_EQ(SetDIBColorTable(canvas.dc(), 300, 1, &green), 0u);
}

TEST(Palettes, StockAndHalftonePalettes) {
  auto* system = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  ASSERT_NE(system, nullptr);
  WORD count = 0;
  EXPECT_EQ(GetObjectA(system, sizeof(count), &count), 2);
  EXPECT_EQ(count, 16);
  PALETTEENTRY entries[16];
  ASSERT_EQ(GetPaletteEntries(system, 0, 16, entries), 16u);
  EXPECT_EQ(entries[0].peRed, 0);
  EXPECT_EQ(entries[7].peRed, 192);  // silver
  EXPECT_EQ(entries[8].peRed, 128);  // grey
  EXPECT_EQ(entries[12].peBlue, 255);
  EXPECT_EQ(entries[12].peRed, 0);  // blue
  EXPECT_EQ(entries[15].peGreen, 255);
  EXPECT_EQ(SetPaletteEntries(system, 0, 1, entries), 0u);  // the stock palette stays

  HPALETTE halftone = CreateHalftonePalette(nullptr);
  EXPECT_EQ(GetPaletteEntries(halftone, 0, 0, nullptr), 256u);
  const UINT cube = GetNearestPaletteIndex(halftone, RGB(51, 102, 153));
  PALETTEENTRY e{};
  GetPaletteEntries(halftone, cube, 1, &e);
  EXPECT_EQ(RGB(e.peRed, e.peGreen, e.peBlue), RGB(51, 102, 153));
  PALETTEENTRY last{};
  GetPaletteEntries(halftone, 255, 1, &last);
  EXPECT_EQ(RGB(last.peRed, last.peGreen, last.peBlue), RGB(255, 255, 255));
  EXPECT_EQ(GetPaletteEntries(halftone, 250, 10, entries), 6u);
  DeleteObject(halftone);

  std::vector<BYTE> bad(sizeof(LOGPALETTE));
  EXPECT_EQ(CreatePalette(reinterpret_cast<LOGPALETTE*>(bad.data())), nullptr);
}

TEST(DeviceCaps, ScreenAndMemoryContexts) {
  SetScreenMetrics(1920, 1080);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
  RECT box{};
  EXPECT_EQ(GetClipBox(screen, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 1920);
  SetScreenMetrics(1024, 768);

  // A fresh memory context reports the screen's format, but bitmaps made compatible with it
  // are monochrome (it holds the stock monochrome bitmap).
  HDC memory = CreateCompatibleDC(screen);
  EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 32);
  HBITMAP mono = CreateCompatibleBitmap(memory, 4, 4);
  HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
  BITMAP bm{};
  GetObjectA(mono, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  GetObjectA(colour, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmWidthBytes, 16);
  HGDIOBJ old = SelectObject(memory, colour);
  HBITMAP second = CreateCompatibleBitmap(memory, 2, 2);
  GetObjectA(second, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  SelectObject(memory, old);
  DeleteObject(mono);
  DeleteObject(colour);
  DeleteObject(second);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace lumivane
