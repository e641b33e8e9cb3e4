// Decoding bitmap files built byte by byte: every depth and header kind, run-length data, row
// order, truncation, and the files that must be refused.
#include <gtest/gtest.h>

#include <functional>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/bitmap.h"

namespace lumivane::test {
namespace {

constexpr int W = 5;  // odd widths exercise the row padding
constexpr int H = 3;

std::vector<Rgb> Ramp(int n) {
  std::vector<Rgb> p;
  for (int i = 0; i < n; ++i)
    p.push_back(Rgb{static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i * 11),
                    static_cast<uint8_t>(i * 3 + 7)});
  return p;
}

// Rows in file order (bottom-up unless top_down) of value(x, y) with y counted from the top.
std::vector<std::vector<uint32_t>> Rows(int w, int h, const std::function<uint32_t(int, int)>& value,
                                        bool top_down = false) {
  std::vector<std::vector<uint32_t>> rows;
  for (int i = 0; i < h; ++i) {
    const int y = top_down ? i : h - 1 - i;
    std::vector<uint32_t> row;
    for (int x = 0; x < w; ++x) row.push_back(value(x, y));
    rows.push_back(row);
  }
  return rows;
}

uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t Expand6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

struct Case {
  std::string name;
  Bytes file;
  int width;
  int height;
  std::function<uint32_t(int, int)> expected;  // 0x00BBGGRR
  TPixelFormat format;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  auto index = [](int mod) { return [mod](int x, int y) { return uint32_t((x * 3 + y * 2) % mod); }; };
  for (int bpp : {1, 4, 8}) {
    const int n = 1 << bpp;
    const auto pal = Ramp(n);
    const auto value = index(n);
    cases.push_back({"indexed" + std::to_string(bpp),
                     BmpFile(InfoHeader(W, H, bpp), PaletteBytes(pal), PackRows(Rows(W, H, value), bpp)), W,
                     H, [pal, value](int x, int y) { return pal[value(x, y)].ColorRef(); },
                     bpp == 1   ? pf1bit
                     : bpp == 4 ? pf4bit
                                : pf8bit});
  }
  {  // colours used smaller than the depth's table
    const auto pal = Ramp(3);
    const auto value = index(3);
    cases.push_back({"colors_used3",
                     BmpFile(InfoHeader(W, H, 8, 0, 3), PaletteBytes(pal), PackRows(Rows(W, H, value), 8)), W,
                     H, [pal, value](int x, int y) { return pal[value(x, y)].ColorRef(); }, pf8bit});
  }
  {  // core header with 3-byte colours
    const auto pal = Ramp(16);
    const auto value = index(16);
    Bytes core;
    Put32(core, 12);
    Put16(core, W);
    Put16(core, H);
    Put16(core, 1);
    Put16(core, 4);
    cases.push_back({"core_header", BmpFile(core, PaletteBytes(pal, true), PackRows(Rows(W, H, value), 4)), W,
                     H, [pal, value](int x, int y) { return pal[value(x, y)].ColorRef(); }, pf4bit});
  }
  auto rgb555 = [](int x, int y) { return uint32_t((x * 7) << 10 | (y * 15) << 5 | (31 - x)); };
  cases.push_back({"rgb555", BmpFile(InfoHeader(W, H, 16), {}, PackRows(Rows(W, H, rgb555), 16)), W, H,
                   [rgb555](int x, int y) {
                     const uint32_t v = rgb555(x, y);
                     return Rgb{Expand5(v >> 10 & 31), Expand5(v >> 5 & 31), Expand5(v & 31)}.ColorRef();
                   },
                   pf15bit});
  auto rgb565 = [](int x, int y) { return uint32_t((x * 7) << 11 | (y * 31) << 5 | (31 - x)); };
  auto expect565 = [rgb565](int x, int y) {
    const uint32_t v = rgb565(x, y);
    return Rgb{Expand5(v >> 11 & 31), Expand6(v >> 5 & 63), Expand5(v & 31)}.ColorRef();
  };
  {
    Bytes masks;
    Put32(masks, 0xF800);
    Put32(masks, 0x07E0);
    Put32(masks, 0x001F);
    cases.push_back({"bitfields565_after_header",
                     BmpFile(InfoHeader(W, H, 16, 3), masks, PackRows(Rows(W, H, rgb565), 16)), W, H,
                     expect565, pf16bit});
    // A 108-byte header holds the masks itself: the pixels follow it directly.
    Bytes v4 = InfoHeader(W, H, 16, 3, 0, 108);
    Set32(v4, 40, 0xF800);
    Set32(v4, 44, 0x07E0);
    Set32(v4, 48, 0x001F);
    cases.push_back({"bitfields565_inside_header", BmpFile(v4, {}, PackRows(Rows(W, H, rgb565), 16)), W, H,
                     expect565, pf16bit});
  }
  auto rgb24 = [](int x, int y) { return uint32_t((x * 50) << 16 | (y * 90) << 8 | (200 - x * 9)); };
  auto expect24 = [rgb24](int x, int y) {
    const uint32_t v = rgb24(x, y);
    return Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}.ColorRef();
  };
  cases.push_back(
      {"rgb24", BmpFile(InfoHeader(W, H, 24), {}, PackRows(Rows(W, H, rgb24), 24)), W, H, expect24, pf24bit});
  cases.push_back({"rgb24_top_down",
                   BmpFile(InfoHeader(W, -H, 24), {}, PackRows(Rows(W, H, rgb24, true), 24)), W, H, expect24,
                   pf24bit});
  cases.push_back(
      {"rgb32", BmpFile(InfoHeader(W, H, 32), {}, PackRows(Rows(W, H, rgb24), 32)), W, H, expect24, pf32bit});
  {  // 32 bits with masks in an unusual order: blue high, red low
    Bytes masks;
    Put32(masks, 0x000000FF);
    Put32(masks, 0x0000FF00);
    Put32(masks, 0x00FF0000);
    auto swapped = [rgb24](int x, int y) {
      const uint32_t v = rgb24(x, y);
      return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
    };
    cases.push_back({"bitfields32",
                     BmpFile(InfoHeader(W, H, 32, 3), masks, PackRows(Rows(W, H, swapped), 32)), W, H,
                     expect24, pfCustom});
  }
  return cases;
}

TEST(BitmapRead, DecodesEveryVariantToTheColoursItEncodes) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    TBitmap bitmap;
    LoadBytes(bitmap, c.file);
    ASSERT_EQ(bitmap.ImageWidth(), c.width);
    ASSERT_EQ(bitmap.ImageHeight(), c.height);
    EXPECT_EQ(bitmap.PixelFormat(), c.format);
    EXPECT_FALSE(bitmap.IsEmpty());
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        ASSERT_EQ(PixelAt(bitmap, x, y), c.expected(x, y)) << "at " << x << "," << y;
  }
}

// Run-length data: 8 bits with a delta and an end-of-line, 4 bits with absolute runs.
TEST(BitmapRead, RunLengthImagesDecodeWithSkippedPixelsBlack) {
  const auto pal = Ramp(256);
  {
    // Row 0 (bottom): 3 x index 5, end of line. Row 1: delta (2,0) then absolute 3 indices
    // (7 8 9, padded to a word), end of line. Row 2: 4 x index 1. End of bitmap.
    const Bytes rle = {3, 5, 0, 0, 0, 2, 2, 0, 0, 3, 7, 8, 9, 0, 0, 0, 4, 1, 0, 1};
    const Bytes file = BmpFile(InfoHeader(4, 3, 8, 1, 0, 40, 1, rle.size()), PaletteBytes(pal), rle);
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    ASSERT_EQ(bitmap.ImageWidth(), 4);
    const uint32_t black = 0;
    // Top row is the last row of the file.
    const uint32_t expect[3][4] = {
        {pal[1].ColorRef(), pal[1].ColorRef(), pal[1].ColorRef(), pal[1].ColorRef()},
        {black, black, pal[7].ColorRef(), pal[8].ColorRef()},
        {pal[5].ColorRef(), pal[5].ColorRef(), pal[5].ColorRef(), black}};
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(bitmap, x, y), expect[y][x]) << x << "," << y;
    // The bytes as read are kept and written back unchanged.
    TMemoryStream out;
    bitmap.WriteToStream(out);
    EXPECT_EQ(Bytes(out.Memory(), out.Memory() + out.Size()), file);
  }
  {
    const auto pal16 = Ramp(16);
    // 4 bits: run of 5 alternating 1,2 ; end of line ; absolute 4 nibbles 3 4 5 6 ; end of bitmap.
    const Bytes rle = {5, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1};
    const Bytes file = BmpFile(InfoHeader(5, 2, 4, 2, 0, 40, 1, rle.size()), PaletteBytes(pal16), rle);
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    const uint32_t bottom[5] = {pal16[1].ColorRef(), pal16[2].ColorRef(), pal16[1].ColorRef(),
                                pal16[2].ColorRef(), pal16[1].ColorRef()};
    const uint32_t top[5] = {pal16[3].ColorRef(), pal16[4].ColorRef(), pal16[5].ColorRef(),
                             pal16[6].ColorRef(), 0};
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(PixelAt(bitmap, x, 1), bottom[x]) << x;
      EXPECT_EQ(PixelAt(bitmap, x, 0), top[x]) << x;
    }
  }
}

TEST(BitmapRead, ShortAndOddlyPlacedPixelData) {
  auto value = [](int x, int y) { return uint32_t(0x102030 * (x + 1) + y * 0x40); };
  const Bytes rows = PackRows(Rows(W, 4, value), 24);
  {
    // Only the bottom two rows present: the top two stay black, no error.
    const Bytes file = BmpFile(InfoHeader(W, 4, 24), {}, Bytes(rows.begin(), rows.begin() + 2 * 16));
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    for (int x = 0; x < W; ++x) {
      EXPECT_EQ(PixelAt(bitmap, x, 0), 0u);
      EXPECT_EQ(PixelAt(bitmap, x, 1), 0u);
      const uint32_t v = value(x, 3);
      EXPECT_EQ(PixelAt(bitmap, x, 3), (Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}.ColorRef()));
    }
  }
  {
    // A gap of 16 bytes before the pixels: the pixels are read from the offset the file gives.
    Bytes gap(16, 0xFF);
    Bytes file = BmpFile(InfoHeader(W, 4, 24), {}, Concat({gap, rows}));
    Set32(file, 10, 14 + 40 + 16);
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    for (int x = 0; x < W; ++x) {
      const uint32_t v = value(x, 3);
      EXPECT_EQ(PixelAt(bitmap, x, 3), (Rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}.ColorRef())) << x;
    }
  }
}

template <typename E>
void ExpectRefused(const Bytes& file, const char* message) {
  TBitmap bitmap;
  LoadBytes(bitmap, BmpFile(InfoHeader(2, 2, 24), {}, Bytes(16, 0x55)));
  try {
    LoadBytes(bitmap, file);
    ADD_FAILURE() << "no exception";
  } catch (const E& e) {
    EXPECT_EQ(e.Message, message);
  }
  // The previous image stays.
  EXPECT_EQ(bitmap.ImageWidth(), 2);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0x555555u);
}

TEST(BitmapRead, BadFilesAreRefusedAndKeepThePreviousImage) {
  const char* invalid = "Bitmap image is not valid";
  const char* read_error = "Stream read error";
  const Bytes pixels(64, 0);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(2, 2, 24, 0, 0, 40, 2), {}, pixels), invalid);
  Bytes wrong = BmpFile(InfoHeader(2, 2, 24), {}, pixels);
  wrong[0] = 'X';
  ExpectRefused<EInvalidGraphic>(wrong, invalid);
  // Cut inside the file header, inside the info header, inside the colour table.
  ExpectRefused<EReadError>(Bytes{'B', 'M', 0, 0}, read_error);
  Bytes cut_header = BmpFile(InfoHeader(2, 2, 8), {}, {});
  cut_header.resize(14 + 20);
  ExpectRefused<EInvalidGraphic>(cut_header, invalid);
  Bytes cut_table = BmpFile(InfoHeader(2, 2, 8), PaletteBytes(Ramp(256)), {});
  cut_table.resize(14 + 40 + 100);
  ExpectRefused<EReadError>(cut_table, read_error);
  // Absurd sizes are refused before anything is allocated.
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(0, 2, 24), {}, pixels), invalid);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(-4, 2, 24), {}, pixels), invalid);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(100000, 100000, 24), {}, pixels), invalid);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(0x7FFFFFFF, 1, 32), {}, pixels), invalid);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(2, static_cast<int32_t>(0x80000000), 24), {}, pixels),
                                 invalid);
  ExpectRefused<EInvalidGraphic>(BmpFile(InfoHeader(2, 2, 7), {}, pixels), invalid);
  // A header size below any real header.
  Bytes tiny = BmpFile(InfoHeader(2, 2, 24), {}, pixels);
  Set32(tiny, 14, 8);
  ExpectRefused<EInvalidGraphic>(tiny, invalid);
}

TEST(BitmapRead, OversizedCountsAreClipped) {
  // 300 declared colours: the first 256 are used, the rest skipped, the pixels follow them.
  auto pal = Ramp(256);
  Bytes table = PaletteBytes(pal);
  table.resize(300 * 4, 0xEE);
  const Bytes rows = PackRows(Rows(2, 2, [](int x, int y) { return uint32_t(x + 2 * y + 250); }), 8);
  TBitmap bitmap;
  LoadBytes(bitmap, BmpFile(InfoHeader(2, 2, 8, 0, 300), table, rows));
  EXPECT_EQ(PixelAt(bitmap, 1, 1), pal[253].ColorRef());
  EXPECT_EQ(PixelAt(bitmap, 0, 0), pal[250].ColorRef());
  // An image-size field far beyond the pixel memory reads no more than the rows hold.
  Bytes big = BmpFile(InfoHeader(2, 2, 24, 0, 0, 40, 1, 0x7FFFFFF0), {}, Bytes(64, 0x11));
  LoadBytes(bitmap, big);
  EXPECT_EQ(bitmap.ImageWidth(), 2);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), 0x111111u);
}

TEST(BitmapRead, EmptyStreamGivesAnEmptyBitmap) {
  TBitmap bitmap;
  LoadBytes(bitmap, BmpFile(InfoHeader(2, 2, 24), {}, Bytes(16, 1)));
  ASSERT_FALSE(bitmap.IsEmpty());
  LoadBytes(bitmap, {});
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.ImageWidth(), 0);
  EXPECT_EQ(bitmap.ImageHeight(), 0);
}

TEST(BitmapRead, ResourceDataHasNoFileHeaderAndStoredDataIsCounted) {
  const auto pal = Ramp(16);
  const Bytes dib = Concat({InfoHeader(3, 2, 4), PaletteBytes(pal),
                            PackRows(Rows(3, 2, [](int x, int y) { return uint32_t(x + 3 * y); }), 4)});
  TBitmap bitmap;
  bitmap.ReadFromResourceData(dib.data(), static_cast<int64_t>(dib.size()));
  EXPECT_EQ(PixelAt(bitmap, 2, 1), pal[5].ColorRef());

  // Stored data: a count, then a bitmap file; what follows is left for the next reader.
  TMemoryStream stored;
  bitmap.WriteStoredData(stored);
  stored.WriteByte(0xAB);
  stored.SetPosition(0);
  TBitmap copy;
  copy.ReadStoredData(stored);
  EXPECT_EQ(stored.ReadByte(), 0xAB);
  EXPECT_TRUE(copy.SameImageAs(&bitmap));
  EXPECT_EQ(PixelAt(copy, 2, 1), pal[5].ColorRef());
}

}  // namespace
}  // namespace lumivane::test
