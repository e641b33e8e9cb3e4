// A picture shrunk to fit is drawn from an area-averaged copy made once per displayed size.
#include "picture/fitted_copy.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "framework/canvas.h"
#include "picture/bitmap.h"

namespace lumivane {
namespace {

// Upright one-pixel lines, black and white, in a 24-bit bitmap.
void PaintLines(TBitmap& bitmap, int width, int height, bool whiteFirst) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<std::uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < width; ++x) {
      const std::uint8_t v = ((x % 2 == 0) == whiteFirst) ? 255 : 0;
      row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = v;
    }
  }
}

class FittedCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen.SetPixelFormat(pf32bit);
    screen.SetSize(200, 150);
    screen.Canvas().Brush().SetColor(clRed);
    screen.Canvas().FillRect(Rect(0, 0, 200, 150));
  }
  int Grey(int x, int y) { return static_cast<int>(screen.Canvas().Pixels(x, y) & 0xFF); }
  TBitmap screen;  // stands in for the window's 32-bit buffer
  TFittedCopy fitted;
};

TEST_F(FittedCopyTest, ShrunkLinesAreDrawnAsTheirAverageGreyAtTheSamePlace) {
  TBitmap lines;
  PaintLines(lines, 400, 300, true);
  ASSERT_TRUE(fitted.Draw(lines, screen.Canvas(), Rect(10, 5, 110, 80)));
  for (int y = 5; y < 80; ++y)
    for (int x = 10; x < 110; ++x) ASSERT_NEAR(Grey(x, y), 128, 1) << x << "," << y;
  EXPECT_EQ(screen.Canvas().Pixels(9, 5), clRed);  // nothing outside the rectangle
  EXPECT_EQ(screen.Canvas().Pixels(110, 5), clRed);
  EXPECT_EQ(screen.Canvas().Pixels(10, 80), clRed);
}

TEST_F(FittedCopyTest, NaturalSizeEnlargementAndTransparentPicturesGoTheUsualWay) {
  TBitmap lines;
  PaintLines(lines, 40, 30, true);
  EXPECT_FALSE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 40, 30)));
  EXPECT_FALSE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 80, 60)));
  EXPECT_FALSE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 20, 60)));  // enlarged on one axis
  lines.SetTransparent(true);
  EXPECT_FALSE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 20, 15)));
}

TEST_F(FittedCopyTest, TheCopyIsKeptUntilTheSizeChangesOrItIsReset) {
  TBitmap lines;
  PaintLines(lines, 400, 300, true);
  ASSERT_TRUE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 100, 75)));
  // Turn the picture white: the kept copy still shows the grey...
  lines.Canvas().Brush().SetColor(clWhite);
  lines.Canvas().FillRect(Rect(0, 0, 400, 300));
  ASSERT_TRUE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 100, 75)));
  EXPECT_NEAR(Grey(50, 40), 128, 1);
  // ...until another size asks for a new copy, or the picture is said to have changed.
  ASSERT_TRUE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 100, 74)));
  EXPECT_EQ(Grey(50, 40), 255);
  PaintLines(lines, 400, 300, false);
  fitted.Reset();
  ASSERT_TRUE(fitted.Draw(lines, screen.Canvas(), Rect(0, 0, 100, 74)));
  EXPECT_NEAR(Grey(50, 40), 128, 1);
}

}  // namespace
}  // namespace lumivane
