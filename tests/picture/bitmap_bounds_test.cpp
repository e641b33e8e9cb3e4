// Bitmap files whose headers claim more than the file holds: the picture keeps its declared size,
// the pixels the file gives are read where its pixel-data offset says, and what it lacks is black.
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/bitmap.h"

namespace lumivane::test {
namespace {

// A 2 x 2 24-bit picture whose pixels start `gap` bytes after the header; the file header's
// pixel-data offset is `offset` (0: where the pixels really are).
Bytes GapFile(uint32_t gap, uint32_t offset) {
  const Bytes header = InfoHeader(2, 2, 24);
  const Bytes pixels =
      PackRows({{ColorOf(1, 2, 3), ColorOf(4, 5, 6)}, {ColorOf(7, 8, 9), ColorOf(10, 11, 12)}}, 24);
  Bytes filler(gap, 0xEE);
  Bytes file = BmpFile(header, filler, pixels);
  Set32(file, 10, offset != 0 ? offset : uint32_t(14 + header.size() + gap));
  return file;
}

TEST(BitmapBounds, PixelsAreReadFromTheOffsetTheFileGives) {
  TBitmap bitmap;
  LoadBytes(bitmap, GapFile(16, 0));
  EXPECT_EQ(PixelAt(bitmap, 0, 1), ColorOf(3, 2, 1));  // bottom row first; bytes are blue, green, red
  EXPECT_EQ(PixelAt(bitmap, 1, 0), ColorOf(12, 11, 10));

  // An offset inside the headers, or past the end of the file, is not believed: the pixels are
  // taken right after the header (here the filler bytes of the gap).
  for (uint32_t offset : {20u, 100000u}) {
    TBitmap other;
    LoadBytes(other, GapFile(16, offset));
    EXPECT_EQ(PixelAt(other, 0, 1), ColorOf(0xEE, 0xEE, 0xEE)) << offset;
  }
}

TEST(BitmapBounds, ASmallFileDeclaringAHugePictureKeepsItsSizeWithTheMissingRowsBlack) {
  for (int32_t height : {16383, -16383}) {
    SCOPED_TRACE(height);
    Bytes pixels(4000);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + 1);
    TBitmap bitmap;
    LoadBytes(bitmap, BmpFile(InfoHeader(16383, height, 24), {}, pixels));
    EXPECT_EQ(bitmap.ImageWidth(), 16383);
    EXPECT_EQ(bitmap.ImageHeight(), 16383);
    // The first stored row is the bottom row of a bottom-up file and the top row of a top-down one.
    const int first_row = height > 0 ? 16382 : 0;
    const int last_row = height > 0 ? 0 : 16382;
    EXPECT_EQ(PixelAt(bitmap, 0, first_row), ColorOf(pixels[2], pixels[1], pixels[0]));
    EXPECT_EQ(PixelAt(bitmap, 16000, last_row), 0u);
  }
}

TEST(BitmapBounds, RowsTheFileLacksAreDrawnBlackAtEverySize) {
  // 4 x 4, bottom-up, only the two bottom rows present: colours 10 * (x + 1) + row.
  std::vector<std::vector<uint32_t>> rows;
  for (int row = 0; row < 2; ++row) {
    rows.emplace_back();
    for (int x = 0; x < 4; ++x) rows.back().push_back(ColorOf(uint8_t(10 * (x + 1) + row), 0, 0));
  }
  TBitmap bitmap;
  LoadBytes(bitmap, BmpFile(InfoHeader(4, 4, 24), {}, PackRows(rows, 24)));
  for (int scale : {1, 2, 3}) {
    SCOPED_TRACE(scale);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(4 * scale + 2, 4 * scale + 2);  // white, with a border left alone
    bitmap.DrawInto(target.Canvas(), Bounds(1, 1, 4 * scale, 4 * scale));
    EXPECT_EQ(PixelAt(target, 0, 0), 0xFFFFFFu);
    for (int y = 0; y < 4 * scale; ++y)
      for (int x = 0; x < 4 * scale; ++x) {
        const int source_row = y / scale;  // 0 = top
        const uint32_t expected =
            source_row < 2 ? 0u : ColorOf(0, 0, uint8_t(10 * (x / scale + 1) + (3 - source_row)));
        EXPECT_EQ(PixelAt(target, x + 1, y + 1), expected) << x << "," << y;
      }
  }
}

// Run-length data: a few runs on a picture declared 11,730,950 pixels wide.
TEST(BitmapBounds, RunLengthPicturesWriteOnlyTheirRuns) {
  Bytes runs = {3, 1, 0, 0, 2, 2, 0, 2, 5, 1, 0, 1};  // 3 x colour 1; next line; 2 x 2; delta; end
  const Bytes header = InfoHeader(11730950, 6, 8, 1, 3, 40, 1, uint32_t(runs.size()));
  const Bytes table = PaletteBytes({Rgb{0, 0, 0}, Rgb{200, 10, 10}, Rgb{10, 200, 10}});
  TBitmap bitmap;
  LoadBytes(bitmap, BmpFile(header, table, runs));
  EXPECT_EQ(bitmap.ImageWidth(), 11730950);
  EXPECT_EQ(bitmap.ImageHeight(), 6);
  EXPECT_EQ(PixelAt(bitmap, 0, 5), ColorOf(200, 10, 10));
  EXPECT_EQ(PixelAt(bitmap, 2, 5), ColorOf(200, 10, 10));
  EXPECT_EQ(PixelAt(bitmap, 3, 5), 0u);
  EXPECT_EQ(PixelAt(bitmap, 1, 4), ColorOf(10, 200, 10));
  EXPECT_EQ(PixelAt(bitmap, 2, 4), 0u);
  EXPECT_EQ(PixelAt(bitmap, 11730949, 0), 0u);
}

TEST(BitmapBounds, SizingForWritingLeavesTheFreshMemoryAlone) {
  TBitmap filled;
  filled.SetPixelFormat(pf24bit);
  filled.SetSize(4, 3);
  EXPECT_EQ(PixelAt(filled, 3, 2), ColorOf(255, 255, 255));  // the background fill of a new size
  TBitmap fresh;
  fresh.SetPixelFormat(pf24bit);
  fresh.SetSizeForWriting(4, 3);
  EXPECT_EQ(fresh.ImageWidth(), 4);
  EXPECT_EQ(fresh.ImageHeight(), 3);
  EXPECT_EQ(fresh.PixelFormat(), pf24bit);
  EXPECT_EQ(PixelAt(fresh, 3, 2), 0u);
  static_cast<uint8_t*>(fresh.ScanLine(2))[9] = 0x40;  // blue of pixel (3, 2)
  EXPECT_EQ(PixelAt(fresh, 3, 2), ColorOf(0, 0, 0x40));
}

}  // namespace
}  // namespace lumivane::test
