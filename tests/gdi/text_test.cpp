#include <gtest/gtest.h>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;

const COLORREF kWhite = RGB(255, 255, 255);

struct Ink {
  int count = 0;
  RECT box{1 << 20, 1 << 20, -1, -1};  // bounding box of pixels that differ from the paper
};

Ink FindInk(HDC dc, int width, int height, COLORREF paper) {
  Ink ink;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (GetPixel(dc, x, y) == paper) continue;
      ++ink.count;
      ink.box.left = std::min<LONG>(ink.box.left, x);
      ink.box.top = std::min<LONG>(ink.box.top, y);
      ink.box.right = std::max<LONG>(ink.box.right, x + 1);
      ink.box.bottom = std::max<LONG>(ink.box.bottom, y + 1);
    }
  return ink;
}

HFONT Font(LONG height, const char* face, LONG weight = FW_NORMAL) {
  return CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

// A white 120 x 40 canvas with a font selected.
class TextCanvas {
 public:
  explicit TextCanvas(HFONT font) : canvas_(test::ColourBitmap(120, 40)), font_(font) {
    canvas_.Fill(kWhite);
    old_ = SelectObject(canvas_.dc(), font_);
  }
  ~TextCanvas() {
    SelectObject(canvas_.dc(), old_);
    DeleteObject(font_);
  }
  HDC dc() const { return canvas_.dc(); }
  Ink ink() const { return FindInk(canvas_.dc(), 120, 40, kWhite); }

 private:
  Canvas canvas_;
  HFONT font_;
  HGDIOBJ old_;
};

TEST(Text, MetricsOfTheDialogFont) {
  TextCanvas c(Font(-11, "MS Sans Serif"));
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(c.dc(), &tm));
  EXPECT_GE(tm.tmHeight, 12);
  EXPECT_LE(tm.tmHeight, 15);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GT(tm.tmAscent, tm.tmDescent);
  EXPECT_GT(tm.tmAveCharWidth, 0);
  EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight - 11);

  // A positive height asks for the cell height; 0 means the default.
  TextCanvas cell(Font(20, "Arial"));
  GetTextMetricsA(cell.dc(), &tm);
  EXPECT_NEAR(tm.tmHeight, 20, 1);
  TextCanvas fallback(Font(0, "MS Sans Serif"));
  TEXTMETRICA defaults{};
  GetTextMetricsA(fallback.dc(), &defaults);
  TEXTMETRICA eleven{};
  GetTextMetricsA(c.dc(), &eleven);
  EXPECT_EQ(defaults.tmHeight, eleven.tmHeight);

  // Bold text is wider.
  TextCanvas bold(Font(-11, "MS Sans Serif", FW_BOLD));
  SIZE normal{}, heavy{};
  GetTextExtentPoint32A(c.dc(), "Wide words", -1, &normal);
  GetTextExtentPoint32A(bold.dc(), "Wide words", -1, &heavy);
  EXPECT_GT(heavy.cx, normal.cx);
  EXPECT_EQ(normal.cy, eleven.tmHeight);
}

TEST(Text, TextOutDrawsInsideItsExtent) {
  TextCanvas c(Font(-11, "MS Sans Serif"));
  SetBkMode(c.dc(), TRANSPARENT);
  SetTextColor(c.dc(), RGB(0, 0, 0));
  ASSERT_TRUE(TextOutA(c.dc(), 10, 5, "Hello", 5));
  SIZE extent{};
  GetTextExtentPoint32A(c.dc(), "Hello", 5, &extent);
  const Ink ink = c.ink();
  EXPECT_GT(ink.count, 15);
  EXPECT_GE(ink.box.left, 10);
  EXPECT_GE(ink.box.top, 5);
  EXPECT_LE(ink.box.right, 10 + extent.cx);
  EXPECT_LE(ink.box.bottom, 5 + extent.cy);
}

TEST(Text, OpaqueBackgroundFillsTheCellAndViewportMoves) {
  TextCanvas c(Font(-11, "Arial"));
  SetBkMode(c.dc(), OPAQUE);
  SetBkColor(c.dc(), RGB(0, 0, 128));
  SetTextColor(c.dc(), RGB(255, 255, 0));
  SetViewportOrgEx(c.dc(), 20, 10, nullptr);
  TextOutA(c.dc(), 0, 0, "Ab", -1);
  SetViewportOrgEx(c.dc(), 0, 0, nullptr);
  SIZE extent{};
  GetTextExtentPoint32A(c.dc(), "Ab", 2, &extent);
  const Ink ink = c.ink();
  EXPECT_EQ(ink.box.left, 20);
  EXPECT_EQ(ink.box.top, 10);
  EXPECT_EQ(ink.box.right, 20 + extent.cx);
  EXPECT_EQ(ink.box.bottom, 10 + extent.cy);
  EXPECT_EQ(ink.count, extent.cx * extent.cy);
}

TEST(Text, DrawTextAlignsClipsAndMeasures) {
  TextCanvas c(Font(-11, "MS Sans Serif"));
  SetBkMode(c.dc(), TRANSPARENT);
  RECT measure{5, 5, 5, 5};
  const int height = DrawTextA(c.dc(), "Centre", -1, &measure, DT_CALCRECT | DT_SINGLELINE);
  SIZE extent{};
  GetTextExtentPoint32A(c.dc(), "Centre", -1, &extent);
  EXPECT_EQ(height, extent.cy);
  EXPECT_EQ(measure.right, 5 + extent.cx);
  EXPECT_EQ(measure.bottom, 5 + extent.cy);
  EXPECT_EQ(c.ink().count, 0);  // measuring draws nothing

  RECT box{0, 0, 120, 40};
  DrawTextA(c.dc(), "Centre", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  const Ink centred = c.ink();
  ASSERT_GT(centred.count, 0);
  EXPECT_NEAR((centred.box.left + centred.box.right) / 2.0, 60, 3);
  EXPECT_NEAR((centred.box.top + centred.box.bottom) / 2.0, 20, 4);

  TextCanvas clipped(Font(-11, "MS Sans Serif"));
  SetBkMode(clipped.dc(), TRANSPARENT);
  RECT narrow{0, 0, 30, 20};
  DrawTextA(clipped.dc(), "A long line of text", -1, &narrow, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS);
  const Ink cut = clipped.ink();
  EXPECT_GT(cut.count, 0);
  EXPECT_LE(cut.box.right, 30);
}

TEST(Text, DrawsIntoPaletteBitmaps) {
  test::InfoBuffer info = test::MakeInfo(60, 20, 8);
  info.header().biClrUsed = 2;
  info.colors()[0] = test::Quad(255, 255, 255);
  info.colors()[1] = test::Quad(0, 0, 0);
  Canvas canvas(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, nullptr, nullptr, 0));
  HFONT font = Font(-11, "MS Sans Serif");
  HGDIOBJ old = SelectObject(canvas.dc(), font);
  SetBkMode(canvas.dc(), TRANSPARENT);
  TextOutA(canvas.dc(), 2, 2, "Ink", -1);
  const Ink ink = FindInk(canvas.dc(), 60, 20, kWhite);
  EXPECT_GT(ink.count, 5);
  EXPECT_GE(ink.box.left, 2);
  SelectObject(canvas.dc(), old);
  DeleteObject(font);
}

}  // namespace
}  // namespace lumivane
