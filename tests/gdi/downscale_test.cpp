// Area-averaged stretching (HALFTONE), above all the shrinking of large pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;

// A top-down 32-bit section whose pixels the test writes directly.
struct Picture {
  Picture(int width, int height) : width(width), height(height) {
    test::InfoBuffer info = test::MakeInfo(width, -height, 32);
    void* bits = nullptr;
    canvas =
        std::make_unique<Canvas>(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels = static_cast<std::uint32_t*>(bits);
  }
  std::uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  int width, height;
  std::unique_ptr<Canvas> canvas;
  std::uint32_t* pixels = nullptr;
};

std::vector<int> Greys(HDC dc, int width, int height) {
  std::vector<int> greys;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) greys.push_back(static_cast<int>(GetPixel(dc, x, y) & 0xFF));
  return greys;
}

void Shrink(HDC target, int width, int height, Picture& source) {
  SetStretchBltMode(target, HALFTONE);
  ASSERT_TRUE(StretchBlt(target, 0, 0, width, height, source.canvas->dc(), 0, 0, source.width, source.height,
                         SRCCOPY));
}

TEST(Downscale, FineLinesBecomeTheirAverageGreyNotMoire) {
  // One-pixel black and white lines, upright in the top half and across in the bottom half.
  Picture lines(1200, 900);
  for (int y = 0; y < 900; ++y)
    for (int x = 0; x < 1200; ++x) lines.At(x, y) = ((y < 450 ? x : y) % 2) ? 0xFFFFFF : 0;

  Canvas quarter(test::ColourBitmap(300, 225));
  Shrink(quarter.dc(), 300, 225, lines);
  for (int grey : Greys(quarter.dc(), 300, 225)) ASSERT_NEAR(grey, 128, 1);

  // At a ratio that is not whole, each pixel still covers both kinds of line: no pure black or
  // white bands, and the mean stays the mean of the picture.
  Canvas odd(test::ColourBitmap(359, 270));
  Shrink(odd.dc(), 359, 270, lines);
  const std::vector<int> greys = Greys(odd.dc(), 359, 270);
  double sum = 0;
  for (int grey : greys) {
    ASSERT_GT(grey, 80);
    ASSERT_LT(grey, 175);
    sum += grey;
  }
  EXPECT_NEAR(sum / static_cast<double>(greys.size()), 127.5, 2.0);

  // Nearest-neighbour sampling of the same lines shows the fault the filter avoids.
  SetStretchBltMode(quarter.dc(), COLORONCOLOR);
  StretchBlt(quarter.dc(), 0, 0, 300, 225, lines.canvas->dc(), 0, 0, 1200, 900, SRCCOPY);
  for (int grey : Greys(quarter.dc(), 300, 225)) ASSERT_TRUE(grey == 0 || grey == 255);
}

TEST(Downscale, FlatAreasStayExactlyFlatAndTheClipIsKept) {
  Picture flat(997, 601);
  for (int y = 0; y < 601; ++y)
    for (int x = 0; x < 997; ++x) flat.At(x, y) = 0x25C95A;
  Canvas target(test::ColourBitmap(320, 200));
  target.Fill(RGB(1, 2, 3));
  Shrink(target.dc(), 313, 191, flat);
  for (int y = 0; y < 191; ++y)
    for (int x = 0; x < 313; ++x)
      ASSERT_EQ(GetPixel(target.dc(), x, y), RGB(0x25, 0xC9, 0x5A)) << x << "," << y;
  EXPECT_EQ(GetPixel(target.dc(), 313, 0), RGB(1, 2, 3));  // outside the destination
  EXPECT_EQ(GetPixel(target.dc(), 0, 191), RGB(1, 2, 3));
}

TEST(Downscale, AFlatAreaStaysFlatUnderAnyShrinkRatio) {
  // Thousands of source columns under one destination pixel give each a weight that rounds to
  // the smallest unit or to nothing; the weights must still add up to one.
  for (int width : {3000, 5000, 7000, 9000}) {
    Picture flat(width, 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < width; ++x) flat.At(x, y) = 0x25C95A;
    Canvas target(test::ColourBitmap(2, 1));
    target.Fill(RGB(1, 2, 3));
    Shrink(target.dc(), 1, 1, flat);
    EXPECT_EQ(GetPixel(target.dc(), 0, 0), RGB(0x25, 0xC9, 0x5A)) << width;
    EXPECT_EQ(GetPixel(target.dc(), 1, 0), RGB(1, 2, 3)) << width;
  }
}

TEST(Downscale, AMirroredShrinkAgreesWithAnUprightOne) {
  Picture noise(97, 61);
  std::mt19937 random(7);
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 97; ++x) noise.At(x, y) = random() & 0xFFFFFF;
  Canvas box(test::ColourBitmap(31, 23));
  Shrink(box.dc(), 31, 23, noise);
  // Drawn mirrored, the columns are averaged from right to left; mirrored back it must match.
  Canvas general(test::ColourBitmap(31, 23));
  SetStretchBltMode(general.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(general.dc(), 31, 0, -31, 23, noise.canvas->dc(), 0, 0, 97, 61, SRCCOPY));
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 31; ++x) {
      const COLORREF a = GetPixel(box.dc(), x, y);
      const COLORREF b = GetPixel(general.dc(), 30 - x, y);
      for (int shift : {0, 8, 16})
        ASSERT_NEAR(static_cast<int>((a >> shift) & 0xFF), static_cast<int>((b >> shift) & 0xFF), 1);
    }
}

TEST(Downscale, EveryTargetAndDirectionGetsTheSameAverages) {
  Picture noise(53, 41);
  std::mt19937 random(11);
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 53; ++x) noise.At(x, y) = random() & 0xFFFFFF;
  Canvas upright(test::ColourBitmap(17, 13));
  Shrink(upright.dc(), 17, 13, noise);

  // Upside down: the rows are averaged from the bottom up.
  Canvas flipped(test::ColourBitmap(17, 13));
  SetStretchBltMode(flipped.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(flipped.dc(), 0, 13, 17, -13, noise.canvas->dc(), 0, 0, 53, 41, SRCCOPY));
  // A 24-bit target, written through the general row path.
  test::InfoBuffer info = test::MakeInfo(17, 13, 24);
  Canvas packed(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, nullptr, nullptr, 0));
  Shrink(packed.dc(), 17, 13, noise);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 17; ++x) {
      ASSERT_EQ(GetPixel(flipped.dc(), x, 12 - y), GetPixel(upright.dc(), x, y)) << x << "," << y;
      ASSERT_EQ(GetPixel(packed.dc(), x, y), GetPixel(upright.dc(), x, y)) << x << "," << y;
    }

  // Enlarged, a destination pixel takes the one or two source pixels under it, weighed by area.
  Picture pair(2, 1);
  pair.At(0, 0) = 0x000000;
  pair.At(1, 0) = 0xFFFFFF;
  Canvas wide(test::ColourBitmap(3, 1));
  SetStretchBltMode(wide.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(wide.dc(), 0, 0, 3, 1, pair.canvas->dc(), 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(GetPixel(wide.dc(), 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(wide.dc(), 1, 0), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(wide.dc(), 2, 0), RGB(255, 255, 255));
}

// Plain 24- and 32-bit sources are filtered straight from their bytes; a 32-bit source with other
// channel masks goes through the general row reader. All three must give the same averages, upright
// and mirrored.
TEST(Downscale, EverySourceLayoutGetsTheSameAverages) {
  constexpr int kWidth = 59, kHeight = 37;
  std::mt19937 random(5);
  std::vector<std::uint32_t> colours(kWidth * kHeight);  // 0xRRGGBB
  for (auto& c : colours) c = random() & 0xFFFFFF;

  Picture plain(kWidth, kHeight);
  test::InfoBuffer packedInfo = test::MakeInfo(kWidth, -kHeight, 24);
  void* packedBits = nullptr;
  Canvas packed(CreateDIBSection(nullptr, packedInfo.info(), DIB_RGB_COLORS, &packedBits, nullptr, 0));
  // Red in the low byte: not the plain layout.
  test::InfoBuffer swappedInfo = test::MakeInfo(kWidth, -kHeight, 32, BI_BITFIELDS);
  swappedInfo.masks()[0] = 0x0000FF;
  swappedInfo.masks()[1] = 0x00FF00;
  swappedInfo.masks()[2] = 0xFF0000;
  void* swappedBits = nullptr;
  Canvas swapped(CreateDIBSection(nullptr, swappedInfo.info(), DIB_RGB_COLORS, &swappedBits, nullptr, 0));
  const int packedStride = (kWidth * 3 + 3) & ~3;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::uint32_t c = colours[static_cast<size_t>(y) * kWidth + x];
      plain.At(x, y) = c;
      BYTE* p = static_cast<BYTE*>(packedBits) + static_cast<size_t>(y) * packedStride + x * 3;
      p[0] = static_cast<BYTE>(c);
      p[1] = static_cast<BYTE>(c >> 8);
      p[2] = static_cast<BYTE>(c >> 16);
      static_cast<std::uint32_t*>(swappedBits)[static_cast<size_t>(y) * kWidth + x] =
          ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
  }

  for (const bool mirrored : {false, true}) {
    std::vector<Canvas*> sources = {plain.canvas.get(), &packed, &swapped};
    std::vector<std::vector<COLORREF>> results;
    for (Canvas* source : sources) {
      Canvas target(test::ColourBitmap(19, 11));
      SetStretchBltMode(target.dc(), HALFTONE);
      ASSERT_TRUE(mirrored
                      ? StretchBlt(target.dc(), 19, 0, -19, 11, source->dc(), 0, 0, kWidth, kHeight, SRCCOPY)
                      : StretchBlt(target.dc(), 0, 0, 19, 11, source->dc(), 0, 0, kWidth, kHeight, SRCCOPY));
      std::vector<COLORREF> pixels;
      for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 19; ++x) pixels.push_back(GetPixel(target.dc(), x, y));
      results.push_back(pixels);
    }
    EXPECT_EQ(results[0], results[2]) << "plain 32-bit against the general reader, mirrored " << mirrored;
    EXPECT_EQ(results[1], results[2]) << "24-bit against the general reader, mirrored " << mirrored;
  }
}

}  // namespace
}  // namespace lumivane
