#include <gtest/gtest.h>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;

const COLORREF kPaper = RGB(0x50, 0x60, 0x70);

// A 2 x 2 colour icon covering the four AND/XOR combinations:
//   (0,0) AND 1, XOR black  -> destination unchanged
//   (1,0) AND 0, XOR red    -> red
//   (0,1) AND 1, XOR white  -> destination inverted
//   (1,1) AND 0, XOR black  -> black
HICON FourCaseIcon() {
  const BYTE andBits[4] = {0x80, 0x00, 0x80, 0x00};  // rows of 2 bytes
  const DWORD xorBits[4] = {0x000000, 0xFF0000, 0xFFFFFF, 0x000000};
  return CreateIcon(nullptr, 2, 2, 1, 32, andBits, reinterpret_cast<const BYTE*>(xorBits));
}

std::vector<COLORREF> Pixels(HDC dc, int w, int h) {
  std::vector<COLORREF> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(GetPixel(dc, x, y));
  return out;
}

TEST(Icons, NormalDrawingMasksThenInverts) {
  HICON icon = FourCaseIcon();
  ASSERT_NE(icon, nullptr);
  Canvas c(test::ColourBitmap(2, 2));
  c.Fill(kPaper);
  SetTextColor(c.dc(), RGB(0, 255, 0));  // icons ignore the context's colours
  SetBkColor(c.dc(), RGB(0, 0, 255));
  ASSERT_TRUE(DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(Pixels(c.dc(), 2, 2), (std::vector<COLORREF>{kPaper, RGB(255, 0, 0), RGB(0xAF, 0x9F, 0x8F), 0}));

  c.Fill(kPaper);
  DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_MASK);
  EXPECT_EQ(Pixels(c.dc(), 2, 2), (std::vector<COLORREF>{kPaper, 0, kPaper, 0}));

  c.Fill(kPaper);
  DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_IMAGE);
  EXPECT_EQ(Pixels(c.dc(), 2, 2), (std::vector<COLORREF>{0, RGB(255, 0, 0), RGB(255, 255, 255), 0}));
  EXPECT_FALSE(DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, 0));
  DestroyIcon(icon);
}

TEST(Icons, SizeBrushAndMonochromeImages) {
  HICON icon = FourCaseIcon();
  Canvas c(test::ColourBitmap(5, 5));
  c.Fill(kPaper);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  // Stretched to 4 x 4 at (1, 1), over a brush-filled background.
  DrawIconEx(c.dc(), 1, 1, icon, 4, 4, 0, brush, DI_NORMAL);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), kPaper);
  EXPECT_EQ(GetPixel(c.dc(), 1, 1), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(c.dc(), 2, 2), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(c.dc(), 3, 1), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc(), 4, 2), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.dc(), 4, 4), RGB(0, 0, 0));
  DeleteObject(brush);
  DestroyIcon(icon);

  // A monochrome icon: XOR 1 bits are white.
  const BYTE andBits[2] = {0x00, 0x00};
  const BYTE xorBits[2] = {0x80, 0x00};
  HICON mono = CreateIcon(nullptr, 2, 1, 1, 1, andBits, xorBits);
  ASSERT_NE(mono, nullptr);
  c.Fill(kPaper);
  DrawIconEx(c.dc(), 0, 0, mono, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(c.dc(), 1, 0), RGB(0, 0, 0));
  DestroyIcon(mono);

  EXPECT_EQ(CreateIcon(nullptr, 2, 1, 1, 8, andBits, xorBits), nullptr);
  EXPECT_EQ(CreateIcon(nullptr, 2, 1, 1, 1, nullptr, xorBits), nullptr);
}

TEST(Icons, ApplicationIconIsAThirtyTwoPixelIconWithTransparentCorners) {
  HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(nullptr, 1), nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bm{};
  GetObjectA(info.hbmColor, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  EXPECT_EQ(bm.bmHeight, 32);
  GetObjectA(info.hbmMask, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);

  Canvas c(test::ColourBitmap(32, 32));
  c.Fill(kPaper);
  DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), kPaper);
  EXPECT_EQ(GetPixel(c.dc(), 31, 31), kPaper);
  int changed = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) changed += GetPixel(c.dc(), x, y) != kPaper;
  EXPECT_GT(changed, 400);
  // The shared system icon survives DestroyIcon.
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), icon);
  EXPECT_TRUE(GetIconInfo(icon, &info));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

}  // namespace
}  // namespace lumivane
