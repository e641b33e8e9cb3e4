#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;

TEST(Objects, SelectedBitmapsAreNotDeletedAndBelongToOneContext) {
  HBITMAP bitmap = test::ColourBitmap(2, 2);
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(nullptr);
  HGDIOBJ stock = SelectObject(first, bitmap);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(GetObjectType(stock), OBJ_BITMAP);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  EXPECT_FALSE(DeleteObject(bitmap));
  EXPECT_EQ(GetCurrentObject(first, OBJ_BITMAP), bitmap);
  EXPECT_EQ(SelectObject(first, stock), bitmap);
  EXPECT_NE(SelectObject(second, bitmap), nullptr);  // free to move now
  SelectObject(second, stock);
  EXPECT_TRUE(DeleteObject(bitmap));
  DeleteDC(first);
  DeleteDC(second);
}

TEST(Objects, DeletingASelectedBrushWaitsForItsDeselection) {
  Canvas c(test::ColourBitmap(2, 1));
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  HGDIOBJ old = SelectObject(c.dc(), brush);
  EXPECT_TRUE(DeleteObject(brush));
  // Still usable while selected (the sanitizer build catches a use after free here).
  ASSERT_TRUE(PatBlt(c.dc(), 0, 0, 2, 1, PATCOPY));
  EXPECT_EQ(GetPixel(c.dc(), 1, 0), RGB(10, 20, 30));
  LOGBRUSH lb{};
  EXPECT_EQ(GetObjectA(GetCurrentObject(c.dc(), OBJ_BRUSH), sizeof(lb), &lb),
            static_cast<int>(sizeof(LOGBRUSH)));
  EXPECT_EQ(lb.lbColor, RGB(10, 20, 30));
  SelectObject(c.dc(), old);  // frees the brush
}

TEST(Objects, SaveAndRestoreBringBackSelectionsAndColours) {
  Canvas c(test::ColourBitmap(1, 1));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ original = SelectObject(c.dc(), red);
  SetTextColor(c.dc(), RGB(1, 1, 1));
  EXPECT_EQ(SaveDC(c.dc()), 1);
  SelectObject(c.dc(), green);
  SetTextColor(c.dc(), RGB(2, 2, 2));
  EXPECT_EQ(SaveDC(c.dc()), 2);
  SetTextColor(c.dc(), RGB(3, 3, 3));
  DeleteObject(green);  // held by the current state: deferred
  ASSERT_TRUE(RestoreDC(c.dc(), -1));
  EXPECT_EQ(GetTextColor(c.dc()), RGB(2, 2, 2));
  PatBlt(c.dc(), 0, 0, 1, 1, PATCOPY);
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(0, 255, 0));
  ASSERT_TRUE(RestoreDC(c.dc(), 1));
  EXPECT_EQ(GetTextColor(c.dc()), RGB(1, 1, 1));
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_BRUSH), red);
  EXPECT_FALSE(RestoreDC(c.dc(), 1));  // nothing saved any more
  EXPECT_FALSE(RestoreDC(c.dc(), -1));
  SelectObject(c.dc(), original);
  DeleteObject(red);
}

TEST(Objects, DescriptionsAndStockObjects) {
  HFONT font = CreateFontA(-13, 0, 0, 0, FW_BOLD, 1, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
  LOGFONTA lf{};
  EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
  EXPECT_EQ(GetObjectA(font, sizeof(lf), &lf), static_cast<int>(sizeof(LOGFONTA)));
  EXPECT_EQ(lf.lfHeight, -13);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  EXPECT_EQ(GetObjectA(font, 4, &lf), 0);
  DeleteObject(font);

  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  EXPECT_TRUE(DeleteObject(white));  // stock objects are never freed
  Canvas c(test::ColourBitmap(1, 1));
  RECT r{0, 0, 1, 1};
  FillRect(c.dc(), &r, static_cast<HBRUSH>(white));
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(255, 255, 255));
  FillRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetStockObject(99), nullptr);
  EXPECT_EQ(GetObjectA(nullptr, 0, nullptr), 0);
  EXPECT_EQ(GetDC(reinterpret_cast<void*>(1)), nullptr);
}

TEST(PixelMemory, LargeBlocksAreAlignedZeroedAndReused) {
  PixelMemory::TrimCache();
  const std::size_t size = 3 * PixelMemory::kLargeBlock + 123;
  std::uint8_t* first = nullptr;
  {
    PixelMemory block(size);
    first = block.data();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % (2u << 20), 0u);
    EXPECT_EQ(block.size(), size);
    std::memset(block.data(), 0xAB, size);
  }
  EXPECT_EQ(PixelMemory::CachedBlockCount(), 1u);
  {
    PixelMemory again(size - 1000);
    EXPECT_EQ(again.data(), first);  // the freed block comes back
    EXPECT_EQ(PixelMemory::CachedBlockCount(), 0u);
    bool zero = true;
    for (std::size_t i = 0; i < again.size(); ++i) zero = zero && again.data()[i] == 0;
    EXPECT_TRUE(zero);
  }
  {
    // The cache keeps only a few blocks.
    std::vector<PixelMemory> blocks;
    for (int i = 0; i < 6; ++i) blocks.emplace_back(PixelMemory::kLargeBlock * (i + 1));
  }
  EXPECT_LE(PixelMemory::CachedBlockCount(), 3u);
  PixelMemory small(100);
  EXPECT_EQ(small.data()[99], 0);
  PixelMemory::TrimCache();
  EXPECT_EQ(PixelMemory::CachedBlockCount(), 0u);
}

TEST(Objects, ThreadsCreateDrawAndDeleteIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int round = 0; round < 50; ++round) {
        const COLORREF colour = RGB(t * 40, round, 7);
        Canvas c(test::ColourBitmap(64, 64));
        HBRUSH brush = CreateSolidBrush(colour);
        RECT r{0, 0, 64, 64};
        FillRect(c.dc(), &r, brush);
        DeleteObject(brush);
        if (GetPixel(c.dc(), 63, 63) != colour) ++failures[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace lumivane
