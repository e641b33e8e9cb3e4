#include <gtest/gtest.h>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;
using test::ColourBitmap;
using test::InfoBuffer;
using test::MakeInfo;
using test::MonoBitmap;
using test::Quad;

std::vector<COLORREF> Row(HDC dc, int y, int width) {
  std::vector<COLORREF> out;
  for (int x = 0; x < width; ++x) out.push_back(GetPixel(dc, x, y));
  return out;
}

std::vector<COLORREF> Column(HDC dc, int x, int height) {
  std::vector<COLORREF> out;
  for (int y = 0; y < height; ++y) out.push_back(GetPixel(dc, x, y));
  return out;
}

HBITMAP Dib(int w, int h, int bits, const RGBQUAD* table = nullptr, int colours = 0) {
  InfoBuffer info = MakeInfo(w, h, bits);
  for (int i = 0; i < colours; ++i) info.colors()[i] = table[i];
  if (colours != 0) info.header().biClrUsed = static_cast<DWORD>(colours);
  return CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
}

TEST(BitBlt, CopiesBetweenDepths) {
  Canvas source(Dib(2, 1, 24));
  SetPixel(source.dc(), 0, 0, RGB(1, 2, 3));
  SetPixel(source.dc(), 1, 0, RGB(250, 128, 7));

  Canvas device(ColourBitmap(3, 1));
  ASSERT_TRUE(BitBlt(device.dc(), 1, 0, 2, 1, source.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(Row(device.dc(), 0, 3), (std::vector<COLORREF>{0, RGB(1, 2, 3), RGB(250, 128, 7)}));

  // Into 5-5-5: channels keep their top five bits (expanded again on reading).
  Canvas high(Dib(2, 1, 16));
  BitBlt(high.dc(), 0, 0, 2, 1, device.dc(), 1, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(high.dc(), 1, 0), RGB(255, 132, 0));

  // Into an 8-bit section: the nearest table colour.
  const RGBQUAD table[3] = {Quad(0, 0, 0), Quad(255, 128, 0), Quad(0, 0, 255)};
  Canvas indexed(Dib(2, 1, 8, table, 3));
  BitBlt(indexed.dc(), 0, 0, 2, 1, source.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(Row(indexed.dc(), 0, 2), (std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 128, 0)}));
}

TEST(BitBlt, ColourToMonochromeUsesTheSourceBackgroundColour) {
  Canvas colour(ColourBitmap(3, 1));
  SetPixel(colour.dc(), 0, 0, RGB(255, 0, 0));
  SetPixel(colour.dc(), 1, 0, RGB(255, 255, 255));
  SetPixel(colour.dc(), 2, 0, RGB(255, 0, 0));
  SetBkColor(colour.dc(), RGB(255, 0, 0));
  Canvas mono(MonoBitmap(3, 1));
  ASSERT_TRUE(BitBlt(mono.dc(), 0, 0, 3, 1, colour.dc(), 0, 0, SRCCOPY));
  // Red (the background) becomes 1 = white; white, not being the background, becomes black.
  EXPECT_EQ(Row(mono.dc(), 0, 3), (std::vector<COLORREF>{RGB(255, 255, 255), 0, RGB(255, 255, 255)}));

  // Palette-relative background colours match too.
  SetBkColor(colour.dc(), PALETTERGB(255, 255, 255));
  BitBlt(mono.dc(), 0, 0, 3, 1, colour.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(Row(mono.dc(), 0, 3), (std::vector<COLORREF>{0, RGB(255, 255, 255), 0}));
}

TEST(BitBlt, MonochromeToColourUsesTheDestinationTextAndBackgroundColours) {
  const BYTE bits[2] = {0x40, 0};  // 0 1 0
  Canvas mono(CreateBitmap(3, 1, 1, 1, bits));
  SetTextColor(mono.dc(), RGB(1, 1, 1));  // the source's colours do not matter
  SetBkColor(mono.dc(), RGB(2, 2, 2));
  Canvas colour(ColourBitmap(3, 1));
  SetTextColor(colour.dc(), RGB(0, 0, 255));
  SetBkColor(colour.dc(), RGB(255, 255, 0));
  BitBlt(colour.dc(), 0, 0, 3, 1, mono.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(Row(colour.dc(), 0, 3),
            (std::vector<COLORREF>{RGB(0, 0, 255), RGB(255, 255, 0), RGB(0, 0, 255)}));

  // A 1-bit DIB section is not a monochrome device bitmap: its colour table applies.
  const RGBQUAD table[2] = {Quad(9, 9, 9), Quad(200, 100, 50)};
  Canvas dib(Dib(3, 1, 1, table, 2));
  SetPixel(dib.dc(), 1, 0, RGB(200, 100, 50));
  BitBlt(colour.dc(), 0, 0, 3, 1, dib.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(Row(colour.dc(), 0, 3), (std::vector<COLORREF>{RGB(9, 9, 9), RGB(200, 100, 50), RGB(9, 9, 9)}));
}

TEST(BitBlt, RasterOperationsCombineKnownValues) {
  const COLORREF src = RGB(0xF0, 0x0F, 0xAA);
  const COLORREF dst = RGB(0xCC, 0x3C, 0x55);
  const COLORREF brush = RGB(0x12, 0x34, 0x56);
  struct Case {
    DWORD rop;
    COLORREF expected;
  };
  const Case cases[] = {
      {SRCCOPY, src},
      {SRCAND, RGB(0xC0, 0x0C, 0x00)},
      {SRCPAINT, RGB(0xFC, 0x3F, 0xFF)},
      {SRCINVERT, RGB(0x3C, 0x33, 0xFF)},
      {NOTSRCCOPY, RGB(0x0F, 0xF0, 0x55)},
      {PATCOPY, brush},
      {MERGECOPY, RGB(0x10, 0x04, 0x02)},
      {BLACKNESS, RGB(0, 0, 0)},
      {WHITENESS, RGB(255, 255, 255)},
      {DSTINVERT, RGB(0x33, 0xC3, 0xAA)},
  };
  Canvas source(ColourBitmap(1, 1));
  SetPixel(source.dc(), 0, 0, src);
  Canvas target(ColourBitmap(1, 1));
  HBRUSH b = CreateSolidBrush(brush);
  HGDIOBJ old = SelectObject(target.dc(), b);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.rop);
    SetPixel(target.dc(), 0, 0, dst);
    ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, c.rop));
    EXPECT_EQ(GetPixel(target.dc(), 0, 0), c.expected);
  }
  SelectObject(target.dc(), old);
  DeleteObject(b);
}

TEST(StretchBlt, ColourOnColourDropsAndRepeatsRows) {
  const COLORREF colours[4] = {RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0), RGB(40, 0, 0)};
  Canvas source(ColourBitmap(1, 4));
  for (int y = 0; y < 4; ++y) SetPixel(source.dc(), 0, y, colours[y]);

  Canvas half(ColourBitmap(1, 2));
  SetStretchBltMode(half.dc(), COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(half.dc(), 0, 0, 1, 2, source.dc(), 0, 0, 1, 4, SRCCOPY));
  EXPECT_EQ(Column(half.dc(), 0, 2), (std::vector<COLORREF>{colours[1], colours[3]}));

  Canvas twice(ColourBitmap(1, 8));
  SetStretchBltMode(twice.dc(), COLORONCOLOR);
  StretchBlt(twice.dc(), 0, 0, 1, 8, source.dc(), 0, 0, 1, 4, SRCCOPY);
  EXPECT_EQ(Column(twice.dc(), 0, 8),
            (std::vector<COLORREF>{colours[0], colours[0], colours[1], colours[1], colours[2], colours[2],
                                   colours[3], colours[3]}));

  // Through the general path (a 24-bit target) the same rows are chosen.
  Canvas dib(Dib(1, 2, 24));
  StretchBlt(dib.dc(), 0, 0, 1, 2, source.dc(), 0, 0, 1, 4, SRCCOPY);
  EXPECT_EQ(Column(dib.dc(), 0, 2), (std::vector<COLORREF>{colours[1], colours[3]}));
}

TEST(StretchBlt, HalftoneAveragesTheSourceArea) {
  Canvas source(ColourBitmap(4, 2));
  SetPixel(source.dc(), 0, 0, RGB(0, 0, 0));
  SetPixel(source.dc(), 1, 0, RGB(100, 200, 40));
  SetPixel(source.dc(), 0, 1, RGB(20, 0, 80));
  SetPixel(source.dc(), 1, 1, RGB(200, 40, 0));
  for (int x = 2; x < 4; ++x)
    for (int y = 0; y < 2; ++y) SetPixel(source.dc(), x, y, RGB(255, 255, 255));
  Canvas target(ColourBitmap(2, 1));
  SetStretchBltMode(target.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(target.dc(), 0, 0, 2, 1, source.dc(), 0, 0, 4, 2, SRCCOPY));
  EXPECT_EQ(GetPixel(target.dc(), 0, 0), RGB(80, 60, 30));
  EXPECT_EQ(GetPixel(target.dc(), 1, 0), RGB(255, 255, 255));

  // The same stretch without half-toning picks one source pixel instead.
  SetStretchBltMode(target.dc(), COLORONCOLOR);
  StretchBlt(target.dc(), 0, 0, 2, 1, source.dc(), 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(GetPixel(target.dc(), 0, 0), RGB(200, 40, 0));
}

TEST(StretchBlt, NegativeSizesMirror) {
  Canvas source(ColourBitmap(3, 1));
  SetPixel(source.dc(), 0, 0, RGB(1, 0, 0));
  SetPixel(source.dc(), 1, 0, RGB(2, 0, 0));
  SetPixel(source.dc(), 2, 0, RGB(3, 0, 0));
  Canvas target(ColourBitmap(3, 1));
  // The destination spans x + width ... x: here 0 ... 3, drawn right to left.
  ASSERT_TRUE(StretchBlt(target.dc(), 3, 0, -3, 1, source.dc(), 0, 0, 3, 1, SRCCOPY));
  EXPECT_EQ(Row(target.dc(), 0, 3), (std::vector<COLORREF>{RGB(3, 0, 0), RGB(2, 0, 0), RGB(1, 0, 0)}));
  // Mirroring both sides cancels out.
  StretchBlt(target.dc(), 3, 0, -3, 1, source.dc(), 3, 0, -3, 1, SRCCOPY);
  EXPECT_EQ(Row(target.dc(), 0, 3), (std::vector<COLORREF>{RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0)}));
}

TEST(StretchBlt, SourceOutsideTheBitmapLeavesTheDestination) {
  Canvas source(ColourBitmap(2, 2));
  source.Fill(RGB(9, 9, 9));
  Canvas target(ColourBitmap(4, 1));
  target.Fill(RGB(1, 2, 3));
  ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 4, 1, source.dc(), -1, 0, SRCCOPY));
  EXPECT_EQ(Row(target.dc(), 0, 4),
            (std::vector<COLORREF>{RGB(1, 2, 3), RGB(9, 9, 9), RGB(9, 9, 9), RGB(1, 2, 3)}));
  EXPECT_FALSE(StretchBlt(target.dc(), 0, 0, 4, 1, source.dc(), 0, 0, 0, 1, SRCCOPY));
}

TEST(DeviceContext, ViewportOriginAndClipApplyToTheDestination) {
  Canvas target(ColourBitmap(6, 6));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  SetViewportOrgEx(target.dc(), 2, 3, nullptr);
  RECT r{0, 0, 2, 1};
  FillRect(target.dc(), &r, red);
  EXPECT_EQ(GetPixel(target.dc(), 0, 0), RGB(255, 0, 0));  // logical coordinates
  SetViewportOrgEx(target.dc(), 0, 0, nullptr);
  EXPECT_EQ(GetPixel(target.dc(), 2, 3), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(target.dc(), 3, 3), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(target.dc(), 4, 3), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(target.dc(), 2, 4), RGB(0, 0, 0));

  // Clip in logical coordinates, saved and restored with the context's state.
  const int level = SaveDC(target.dc());
  SetViewportOrgEx(target.dc(), 1, 1, nullptr);
  EXPECT_EQ(IntersectClipRect(target.dc(), 0, 0, 2, 2), SIMPLEREGION);
  RECT box{};
  EXPECT_EQ(GetClipBox(target.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 2);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT all{-5, -5, 10, 10};
  FillRect(target.dc(), &all, blue);
  ASSERT_TRUE(RestoreDC(target.dc(), level));
  POINT origin{};
  GetViewportOrgEx(target.dc(), &origin);
  EXPECT_EQ(origin.x, 0);
  int blueCount = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) blueCount += GetPixel(target.dc(), x, y) == RGB(0, 0, 255);
  EXPECT_EQ(blueCount, 4);
  EXPECT_EQ(GetPixel(target.dc(), 1, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(target.dc(), 2, 2), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(target.dc(), 3, 3), RGB(255, 0, 0));  // outside the clip: untouched
  EXPECT_EQ(GetClipBox(target.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 6);  // clip gone after restoring

  // A blit is clipped too.
  SelectClipRect(target.dc(), &r);  // device (0,0)-(2,1)
  Canvas source(ColourBitmap(6, 6));
  source.Fill(RGB(0, 255, 0));
  BitBlt(target.dc(), 0, 0, 6, 6, source.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(target.dc(), 1, 0), RGB(0, 255, 0));
  SelectClipRect(target.dc(), nullptr);
  EXPECT_EQ(GetPixel(target.dc(), 2, 2), RGB(0, 0, 255));
  DeleteObject(red);
  DeleteObject(blue);
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
  Canvas c(ColourBitmap(4, 1));
  for (int x = 0; x < 4; ++x) SetPixel(c.dc(), x, 0, RGB(x + 1, 0, 0));
  BitBlt(c.dc(), 1, 0, 3, 1, c.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(Row(c.dc(), 0, 4),
            (std::vector<COLORREF>{RGB(1, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0)}));
}

TEST(TransparentBlt, LeavesTheKeyColourUndrawn) {
  const RGBQUAD table[3] = {Quad(0, 0, 0), Quad(0, 128, 128), Quad(255, 255, 0)};
  Canvas glyph(Dib(3, 1, 4, table, 3));  // a 16-colour glyph
  SetPixel(glyph.dc(), 0, 0, RGB(0, 128, 128));
  SetPixel(glyph.dc(), 1, 0, RGB(255, 255, 0));
  SetPixel(glyph.dc(), 2, 0, RGB(0, 128, 128));
  Canvas target(ColourBitmap(3, 1));
  target.Fill(RGB(7, 7, 7));
  const COLORREF key = GetPixel(glyph.dc(), 0, 0);
  ASSERT_TRUE(TransparentBlt(target.dc(), 0, 0, 3, 1, glyph.dc(), 0, 0, 3, 1, key));
  EXPECT_EQ(Row(target.dc(), 0, 3), (std::vector<COLORREF>{RGB(7, 7, 7), RGB(255, 255, 0), RGB(7, 7, 7)}));
}

// The mask technique: stretch a bitmap leaving one colour transparent with monochrome masks.
TEST(StretchBlt, MaskTechniqueKeepsTheTransparentColour) {
  Canvas source(ColourBitmap(2, 1));
  SetPixel(source.dc(), 0, 0, RGB(255, 0, 255));  // transparent
  SetPixel(source.dc(), 1, 0, RGB(0, 200, 0));
  Canvas mask(MonoBitmap(2, 1));
  SetBkColor(source.dc(), PALETTERGB(255, 0, 255));
  BitBlt(mask.dc(), 0, 0, 2, 1, source.dc(), 0, 0, SRCCOPY);
  Canvas inverse(MonoBitmap(2, 1));
  BitBlt(inverse.dc(), 0, 0, 2, 1, mask.dc(), 0, 0, NOTSRCCOPY);
  SetBkColor(source.dc(), RGB(255, 255, 255));
  BitBlt(source.dc(), 0, 0, 2, 1, inverse.dc(), 0, 0, SRCAND);

  Canvas work(ColourBitmap(4, 1));
  work.Fill(RGB(50, 60, 70));
  StretchBlt(work.dc(), 0, 0, 4, 1, mask.dc(), 0, 0, 2, 1, SRCAND);
  StretchBlt(work.dc(), 0, 0, 4, 1, source.dc(), 0, 0, 2, 1, SRCPAINT);
  EXPECT_EQ(Row(work.dc(), 0, 4),
            (std::vector<COLORREF>{RGB(50, 60, 70), RGB(50, 60, 70), RGB(0, 200, 0), RGB(0, 200, 0)}));
}

TEST(Fills, PatBltRectangleAndFocusRectangle) {
  Canvas c(ColourBitmap(5, 5));
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 200));
  HGDIOBJ oldBrush = SelectObject(c.dc(), brush);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(200, 0, 0));
  HGDIOBJ oldPen = SelectObject(c.dc(), pen);
  ASSERT_TRUE(Rectangle(c.dc(), 0, 0, 4, 4));
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(200, 0, 0));
  EXPECT_EQ(GetPixel(c.dc(), 3, 3), RGB(200, 0, 0));
  EXPECT_EQ(GetPixel(c.dc(), 1, 2), RGB(0, 0, 200));
  EXPECT_EQ(GetPixel(c.dc(), 4, 4), RGB(0, 0, 0));

  // PatBlt with a negative width still covers the rectangle.
  ASSERT_TRUE(PatBlt(c.dc(), 5, 4, -5, 1, PATCOPY));
  EXPECT_EQ(Row(c.dc(), 4, 5), std::vector<COLORREF>(5, RGB(0, 0, 200)));
  EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 1, 1, SRCCOPY));

  // The focus rectangle inverts every other outline pixel; drawing it twice restores.
  c.Fill(RGB(255, 255, 255));
  RECT r{0, 0, 5, 5};
  DrawFocusRect(c.dc(), &r);
  EXPECT_EQ(Row(c.dc(), 0, 5), (std::vector<COLORREF>{0, RGB(255, 255, 255), 0, RGB(255, 255, 255), 0}));
  EXPECT_EQ(GetPixel(c.dc(), 2, 2), RGB(255, 255, 255));
  DrawFocusRect(c.dc(), &r);
  EXPECT_EQ(Row(c.dc(), 0, 5), std::vector<COLORREF>(5, RGB(255, 255, 255)));
  SelectObject(c.dc(), oldBrush);
  SelectObject(c.dc(), oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

TEST(Fills, LineToStopsBeforeTheEndPoint) {
  Canvas c(ColourBitmap(4, 4));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
  HGDIOBJ old = SelectObject(c.dc(), pen);
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 3, 3);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(c.dc(), 2, 2), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(c.dc(), 3, 3), RGB(0, 0, 0));
  SelectObject(c.dc(), old);
  DeleteObject(pen);
}

}  // namespace
}  // namespace lumivane
