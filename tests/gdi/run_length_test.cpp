#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;
using test::InfoBuffer;
using test::MakeInfo;
using test::Quad;

const COLORREF kIndex0 = RGB(9, 9, 9);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kBlack = RGB(0, 0, 0);

// Decodes run-length data into a 32-bit device bitmap through CreateDIBitmap. The data lives
// in a vector of exactly its size so that a read past it is caught by the address sanitizer.
class RunLength {
 public:
  RunLength(int width, int height, DWORD compression, std::vector<BYTE> data, DWORD sizeImage = 0xFFFFFFFF)
      : data_(std::move(data)) {
    info_ = MakeInfo(width, height, compression == BI_RLE8 ? 8 : 4, compression);
    info_.header().biSizeImage = sizeImage == 0xFFFFFFFF ? static_cast<DWORD>(data_.size()) : sizeImage;
    info_.colors()[0] = Quad(9, 9, 9);
    info_.colors()[1] = Quad(255, 0, 0);
    info_.colors()[2] = Quad(0, 255, 0);
    info_.colors()[3] = Quad(0, 0, 255);
    HDC screen = GetDC(nullptr);
    bitmap_ = CreateDIBitmap(screen, &info_.header(), CBM_INIT, data_.empty() ? nullptr : data_.data(),
                             info_.info(), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (bitmap_ != nullptr) canvas_ = std::make_unique<Canvas>(bitmap_);
  }
  bool ok() const { return canvas_ != nullptr; }
  COLORREF At(int x, int y) const { return GetPixel(canvas_->dc(), x, y); }
  std::vector<COLORREF> Row(int y, int width) const {
    std::vector<COLORREF> out;
    for (int x = 0; x < width; ++x) out.push_back(At(x, y));
    return out;
  }

 private:
  std::vector<BYTE> data_;
  InfoBuffer info_;
  HBITMAP bitmap_ = nullptr;
  std::unique_ptr<Canvas> canvas_;
};

TEST(RunLength, EightBitRunsEndOfLineDeltaAndEndOfBitmap) {
  RunLength image(4, 3, BI_RLE8,
                  {
                      0x02, 0x01,                          // two pixels of index 1
                      0x00, 0x03, 0x02, 0x03, 0x01, 0x00,  // absolute: 2 3 1 (+ pad); 1 is cut
                      0x00, 0x00,                          // end of line
                      0x00, 0x02, 0x01, 0x01,              // delta: right 1, up 1
                      0x01, 0x03,                          // one pixel of index 3
                      0x00, 0x01,                          // end of bitmap
                      0x05, 0x02,                          // ignored after the end
                  });
  ASSERT_TRUE(image.ok());
  // Rows are bottom-up: the first line is the bottom row. Skipped pixels stay black.
  EXPECT_EQ(image.Row(2, 4), (std::vector<COLORREF>{kRed, kRed, kGreen, kBlue}));
  EXPECT_EQ(image.Row(1, 4), std::vector<COLORREF>(4, kBlack));
  EXPECT_EQ(image.Row(0, 4), (std::vector<COLORREF>{kBlack, kBlue, kBlack, kBlack}));
}

TEST(RunLength, FourBitRunsAlternateNibbles) {
  RunLength image(5, 2, BI_RLE4,
                  {
                      0x05,
                      0x12,  // 1 2 1 2 1
                      0x00,
                      0x00,  // end of line
                      0x00,
                      0x03,
                      0x30,
                      0x20,  // absolute: 3 0 2, two bytes
                      0x00,
                      0x01,
                  });
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(image.Row(1, 5), (std::vector<COLORREF>{kRed, kGreen, kRed, kGreen, kRed}));
  EXPECT_EQ(image.Row(0, 5), (std::vector<COLORREF>{kBlue, kIndex0, kGreen, kBlack, kBlack}));
}

TEST(RunLength, HostileDataIsClippedAndNeverOverruns) {
  // An absolute run that claims more pixels than the data holds.
  RunLength truncated(8, 1, BI_RLE8, {0x00, 0xC8, 0x01, 0x02});
  ASSERT_TRUE(truncated.ok());
  EXPECT_EQ(truncated.Row(0, 3), (std::vector<COLORREF>{kRed, kGreen, kBlack}));

  // Runs far past the right edge, then a delta past the top.
  RunLength wide(2, 2, BI_RLE8, {0xFF, 0x01, 0xFF, 0x02, 0x00, 0x02, 0xFF, 0xFF, 0x02, 0x03});
  ASSERT_TRUE(wide.ok());
  EXPECT_EQ(wide.Row(1, 2), (std::vector<COLORREF>{kRed, kRed}));
  EXPECT_EQ(wide.Row(0, 2), std::vector<COLORREF>(2, kBlack));

  // A delta cut off by the end of the data, and a lone trailing byte.
  RunLength cut(2, 1, BI_RLE4, {0x01, 0x10, 0x00, 0x02, 0x01});
  ASSERT_TRUE(cut.ok());
  EXPECT_EQ(cut.Row(0, 2), (std::vector<COLORREF>{kRed, kBlack}));

  // The declared image size bounds the data read even when more follows.
  RunLength bounded(3, 1, BI_RLE8, {0x01, 0x01, 0x01, 0x02, 0x01, 0x03}, 4);
  ASSERT_TRUE(bounded.ok());
  EXPECT_EQ(bounded.Row(0, 3), (std::vector<COLORREF>{kRed, kGreen, kBlack}));

  // Top-down run-length data is refused.
  InfoBuffer info = MakeInfo(2, -2, 8, BI_RLE8);
  const BYTE data[2] = {0, 1};
  info.header().biSizeImage = 2;
  EXPECT_EQ(CreateDIBitmap(nullptr, &info.header(), CBM_INIT, data, info.info(), DIB_RGB_COLORS), nullptr);
}

TEST(RunLength, RandomDataOnlyProducesTableColoursOrBlack) {
  std::mt19937 random(1234);
  const std::set<COLORREF> allowed = {kIndex0, kRed, kGreen, kBlue, kBlack};
  for (int round = 0; round < 200; ++round) {
    const bool four = round % 2 == 1;
    std::vector<BYTE> data(random() % 64);
    for (BYTE& b : data) b = static_cast<BYTE>(random() % 4 == 0 ? random() % 4 : random());
    RunLength image(5, 4, four ? BI_RLE4 : BI_RLE8, data);
    ASSERT_TRUE(image.ok());
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const COLORREF c = image.At(x, y);
        // Indices past the four given colours read the table's black entries.
        ASSERT_TRUE(allowed.count(c) == 1) << "round " << round << " got " << c;
      }
  }
}

}  // namespace
}  // namespace lumivane
