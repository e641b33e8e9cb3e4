// The LZW decoder, its bit reader and its pixel writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif/code_reader.h"
#include "gif/lzw_decoder.h"
#include "gif/pixel_writer.h"
#include "gif_test_data.h"

namespace lumivane {
namespace {

using test::Bytes;

int DepthFor(int bits) { return bits == 1 ? 1 : bits <= 4 ? 4 : 8; }

struct Decoded {
  std::vector<int> pixels;  // top-down, row-major
  bool corrupt = false;
};

std::vector<int> Unpack(const Bytes& buffer, int width, int height, int depth) {
  const int64_t stride = DIBRowBytes(width, depth);
  std::vector<int> out;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = buffer.data() + (height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      if (depth == 8)
        out.push_back(row[x]);
      else if (depth == 4)
        out.push_back((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
      else
        out.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    }
  }
  return out;
}

Decoded Decode(const Bytes& codeData, int width, int height, int bits, bool interlaced = false,
               bool accept = true) {
  const int depth = DepthFor(bits);
  TMemoryStream codes;
  codes.Assign(codeData);
  Bytes buffer(static_cast<size_t>(height * DIBRowBytes(width, depth)), 0);
  Decoded result;
  DecodeLZW(codes, width, height, depth, interlaced, nullptr, nullptr, result.corrupt, buffer.data(), accept);
  result.pixels = Unpack(buffer, width, height, depth);
  return result;
}

std::vector<int> AsInts(const Bytes& bytes) { return std::vector<int>(bytes.begin(), bytes.end()); }

// Code data from hand-packed codes: (code, width) pairs.
Bytes Packed(int minCodeSize, const std::vector<std::pair<int, int>>& codes) {
  test::CodePacker packer;
  for (auto [code, width] : codes) packer.Put(code, width);
  Bytes out{static_cast<uint8_t>(minCodeSize)};
  const Bytes blocks = test::SubBlocks(packer.Finish());
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

// ---- row order and pixel packing -----------------------------------------------------------

std::vector<int> InterlacedOrder(int height) {
  std::vector<int> rows;
  int pass = 0;
  for (int y = 0; y < height; y = NextInterlacedRow(y, height, pass)) rows.push_back(y);
  return rows;
}

TEST(InterlaceTest, RowOrderForSmallAndLargeHeights) {
  EXPECT_EQ(InterlacedOrder(1), (std::vector<int>{0}));
  EXPECT_EQ(InterlacedOrder(2), (std::vector<int>{0, 1}));
  EXPECT_EQ(InterlacedOrder(3), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(InterlacedOrder(5), (std::vector<int>{0, 4, 2, 1, 3}));
  EXPECT_EQ(InterlacedOrder(9), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7}));
  // Every row exactly once for any height.
  for (int h = 1; h < 40; ++h) {
    std::vector<int> rows = InterlacedOrder(h);
    std::sort(rows.begin(), rows.end());
    ASSERT_EQ(static_cast<int>(rows.size()), h) << "height " << h;
    for (int y = 0; y < h; ++y) EXPECT_EQ(rows[y], y);
  }
}

TEST(PixelWriterTest, PacksDepthsAndPadsRowsBottomUp) {
  // 3 pixels wide, 2 rows: 1-bit rows are 4 bytes, image row 0 is stored last.
  Bytes one(8, 0);
  TPixelWriter w1(one.data(), 3, 2, 1, false);
  for (int v : {1, 0, 1, 0, 1, 1}) w1.PutPixel(v);
  EXPECT_EQ(one, (Bytes{0x60, 0, 0, 0, 0xA0, 0, 0, 0}));
  EXPECT_TRUE(w1.Finished());
  w1.PutPixel(1);  // past the last row: ignored
  EXPECT_EQ(one[0], 0x60);
  TPixelWriter noWidth(nullptr, 0, 3, 8, false);  // no pixels: nothing is ever written
  EXPECT_TRUE(noWidth.Finished());
  noWidth.PutPixel(1);

  Bytes four(8, 0);
  TPixelWriter w4(four.data(), 3, 2, 4, false);
  for (int v : {1, 2, 3, 4, 5, 6}) w4.PutPixel(v);
  EXPECT_EQ(four, (Bytes{0x45, 0x60, 0, 0, 0x12, 0x30, 0, 0}));

  Bytes eight(8, 0);
  TPixelWriter w8(eight.data(), 3, 2, 8, false);
  for (int v : {10, 20, 30, 40, 50, 60}) w8.PutPixel(v);
  EXPECT_EQ(eight, (Bytes{40, 50, 60, 0, 10, 20, 30, 0}));
}

TEST(PixelWriterTest, InterlacedRowsLandInImageOrder) {
  // Five one-pixel rows written as 0, 4, 2, 1, 3: each value is the row it belongs to.
  Bytes buffer(5 * 4, 0);
  TPixelWriter w(buffer.data(), 1, 5, 8, true);
  for (int row : {0, 4, 2, 1, 3}) w.PutPixel(static_cast<uint32_t>(row + 1));
  EXPECT_EQ(Unpack(buffer, 1, 5, 8), (std::vector<int>{1, 2, 3, 4, 5}));
}

// ---- the bit reader ------------------------------------------------------------------------

TEST(CodeReaderTest, ReadsAcrossSubBlocksAndWidthChanges) {
  test::CodePacker packer;
  std::vector<std::pair<int, int>> codes;
  for (int i = 0; i < 300; ++i) codes.push_back({(i * 37) % (1 << (3 + i % 10)), 3 + i % 10});
  for (auto [code, width] : codes) packer.Put(code, width);
  // Small blocks with empty blocks in between.
  Bytes blocks;
  const Bytes data = packer.Finish();
  for (size_t i = 0; i < data.size(); i += 5) {
    const size_t n = std::min<size_t>(5, data.size() - i);
    blocks.push_back(static_cast<uint8_t>(n));
    blocks.insert(blocks.end(), data.begin() + i, data.begin() + i + n);
    if (i % 3 == 0) blocks.push_back(0);
  }
  TMemoryStream stream;
  stream.Assign(blocks);
  TCodeReader reader(stream);
  for (auto [code, width] : codes) {
    reader.SetWidth(width);
    ASSERT_EQ(reader.NextCode(), code);
  }
  reader.SetWidth(12);
  EXPECT_EQ(reader.NextCode(), TCodeReader::NoMoreData);
  EXPECT_EQ(reader.NextCode(), TCodeReader::NoMoreData);
  // A sub-block shorter than its size byte is a read error.
  TMemoryStream shortBlock;
  shortBlock.Assign(Bytes{10, 1, 2, 3});
  TCodeReader cut(shortBlock);
  cut.SetWidth(9);
  EXPECT_THROW(cut.NextCode(), EReadError);
}

// ---- decoding ------------------------------------------------------------------------------

TEST(DecodeLZWTest, RoundTripsEveryColourDepth) {
  for (int bits = 1; bits <= 8; ++bits) {
    const int w = 37, h = 23;
    const Bytes pixels = test::PatternPixels(w * h, 1 << bits, bits);
    const Decoded d = Decode(test::CodeData(pixels, std::max(bits, 2)), w, h, bits);
    EXPECT_EQ(d.pixels, AsInts(pixels)) << "bits " << bits;
    EXPECT_FALSE(d.corrupt);
  }
}

TEST(DecodeLZWTest, InterlacedImagesOfSeveralHeights) {
  for (int h : {1, 2, 5, 9, 17}) {
    const int w = 6;
    const Bytes pixels = test::PatternPixels(w * h, 16, h);
    const Bytes gif = test::SimpleGif(w, h, 4, pixels, true);
    // The image's code data starts after header (6), screen (7), table (48) and descriptor (10).
    const Bytes codeData(gif.begin() + 6 + 7 + 48 + 10, gif.end() - 1);
    EXPECT_EQ(Decode(codeData, w, h, 4, true).pixels, AsInts(pixels)) << "height " << h;
  }
}

TEST(DecodeLZWTest, FullTableKeepsDecodingWithAndWithoutClear) {
  // Enough varied data to define all 4096 entries several times over.
  const int w = 300, h = 200;
  const Bytes pixels = test::PatternPixels(w * h, 256, 7);
  test::EncodeOptions keepGoing;
  const Decoded a = Decode(test::CodeData(pixels, 8, keepGoing), w, h, 8);
  EXPECT_EQ(a.pixels, AsInts(pixels));
  test::EncodeOptions clearing;
  clearing.ClearWhenFull = true;
  const Decoded b = Decode(test::CodeData(pixels, 8, clearing), w, h, 8);
  EXPECT_EQ(b.pixels, AsInts(pixels));
  // The same through the general path (4-bit target).
  const Bytes small = test::PatternPixels(w * h, 16, 9);
  EXPECT_EQ(Decode(test::CodeData(small, 4, keepGoing), w, h, 4).pixels, AsInts(small));
}

TEST(DecodeLZWTest, StreamWithoutLeadingClearDefinesNoEntryForItsFirstCode) {
  test::EncodeOptions noClear;
  noClear.LeadingClear = false;
  const Bytes pixels = test::PatternPixels(400, 4, 3);
  EXPECT_EQ(Decode(test::CodeData(pixels, 2, noClear), 20, 20, 2).pixels, AsInts(pixels));

  // Min code size 2, no clear: 1 is a literal and defines nothing, so 6 (the next free code) is
  // "1 1"; 6 then names entry 6 = "1 1" itself (and defines 7, which widens the codes).
  const Decoded d = Decode(Packed(2, {{1, 3}, {6, 3}, {6, 3}, {5, 4}}), 5, 1, 2);
  EXPECT_EQ(d.pixels, (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_FALSE(d.corrupt);

  // A table code with nothing before it has nothing to refer to: corrupt.
  const Decoded lost = Decode(Packed(2, {{6, 3}, {1, 3}, {5, 3}}), 3, 1, 2);
  EXPECT_TRUE(lost.corrupt);
  EXPECT_EQ(lost.pixels, (std::vector<int>{0, 0, 0}));
}

TEST(DecodeLZWTest, CodesAtAndAboveNextFreeCode) {
  // Min size 2: clear, 1, then 6 and 7 (each == next free: the previous string plus its first
  // pixel), then 12 (above next free 8: handled the same way), 2, end.
  const Decoded d = Decode(Packed(2, {{4, 3}, {1, 3}, {6, 3}, {7, 3}, {12, 4}, {2, 4}, {5, 4}}), 12, 1, 2);
  EXPECT_EQ(d.pixels, (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 0}));
  EXPECT_FALSE(d.corrupt);
}

TEST(DecodeLZWTest, LiteralsAreTheCodesBelowTheClearCode) {
  // A 2-colour image written with min code size 2: 2 and 3 are literals too (kept to the 1-bit
  // pixel's low bit), not table lookups; entry 6 = "1 2" is then found by its code.
  const Decoded two = Decode(Packed(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {6, 4}, {5, 4}}), 6, 1, 1);
  EXPECT_EQ(two.pixels, (std::vector<int>{1, 0, 1, 1, 0, 0}));

  // Min code size 6 with a 128-colour table (8-bit pixels): values 64..127 are never literals,
  // and codes 66.. are table entries whatever the table's size.
  const Bytes pixels = test::PatternPixels(600, 64, 9);
  EXPECT_EQ(Decode(test::CodeData(pixels, 6), 30, 20, 7).pixels, AsInts(pixels));
  // Min code size 8 into 8-bit pixels: values up to 255 come through whole.
  Bytes wide = test::PatternPixels(256, 256, 4);
  EXPECT_EQ(Decode(test::CodeData(wide, 8), 16, 16, 8).pixels, AsInts(wide));
}

TEST(DecodeLZWTest, EarlyEndAndExhaustedDataKeepRowsWritten) {
  const int w = 10, h = 6;
  const Bytes pixels = test::PatternPixels(w * h, 4, 5);
  // End code after the first 25 pixels: later pixels stay 0.
  Bytes firstPart(pixels.begin(), pixels.begin() + 25);
  Decoded early = Decode(test::CodeData(firstPart, 2), w, h, 2);
  std::vector<int> expected = AsInts(firstPart);
  expected.resize(w * h, 0);
  EXPECT_EQ(early.pixels, expected);
  EXPECT_FALSE(early.corrupt);

  // Codes cut in the middle (no end code, no terminator): decoding stops quietly.
  test::EncodeOptions noEnd;
  noEnd.EndCode = false;
  Bytes codes = test::LzwEncode(pixels, 2, noEnd);
  codes.resize(codes.size() / 2);
  Bytes data{2};
  const Bytes blocks = test::SubBlocks(codes, 255, false);
  data.insert(data.end(), blocks.begin(), blocks.end());
  const Decoded cut = Decode(data, w, h, 2);
  EXPECT_FALSE(cut.corrupt);
  // Some leading pixels decoded correctly, the tail is zero.
  EXPECT_EQ(cut.pixels[0], pixels[0]);
  EXPECT_EQ(cut.pixels.back(), 0);

  // Only the code size byte.
  EXPECT_EQ(Decode(Bytes{2}, 3, 1, 2).pixels, (std::vector<int>{0, 0, 0}));
  // Not even that: a read error.
  EXPECT_THROW(Decode(Bytes{}, 3, 1, 2), EReadError);
}

TEST(DecodeLZWTest, CodeSizeOutOfRange) {
  // Size 1 with corrupt data accepted: clamped to 2, clear codes are obeyed, the first other code
  // ends decoding.
  const Decoded d = Decode(Packed(1, {{4, 3}, {1, 3}, {4, 3}, {2, 3}, {3, 3}}), 4, 1, 2);
  EXPECT_TRUE(d.corrupt);
  EXPECT_EQ(d.pixels, (std::vector<int>{1, 2, 0, 0}));
  // Sizes up to 11 are taken as they are: size 11 starts with 12-bit codes, clear code 2048.
  const Decoded wide = Decode(Packed(11, {{2048, 12}, {7, 12}, {200, 12}, {2050, 12}, {2049, 12}}), 4, 1, 4);
  EXPECT_FALSE(wide.corrupt);
  EXPECT_EQ(wide.pixels, (std::vector<int>{7, 200 & 15, 7, 200 & 15}));
  // Refused without accepting corrupt data.
  try {
    Decode(Packed(12, {{1024, 11}}), 4, 1, 8, false, false);
    FAIL() << "no exception";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "GIF code size not in range 2 to 9");
  }
}

TEST(DecodeLZWTest, LoopingTableIsCorrupt) {
  // Min size 2: clear, 1, 7 (above next free: 1 1; entry 6 = 1 1), 6 (entry 7 gets prefix 7:
  // a loop), then 7 walks the loop.
  const Bytes data = Packed(2, {{4, 3}, {1, 3}, {7, 3}, {6, 3}, {7, 4}, {5, 4}});
  const Decoded d = Decode(data, 8, 1, 2);
  EXPECT_TRUE(d.corrupt);
  // What came before the looping code is kept, nothing of it is written.
  EXPECT_EQ(d.pixels, (std::vector<int>{1, 1, 1, 1, 1, 0, 0, 0}));
  try {
    Decode(data, 20, 1, 2, false, false);
    FAIL() << "no exception";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "GIF encoded data is corrupt");
  }
}

struct ProgressCall {
  TProgressStage stage;
  int percent;
  std::string message;
};
std::vector<ProgressCall> g_calls;
void RecordProgress(TGraphic*, TProgressStage stage, int percent, const std::string& message) {
  g_calls.push_back({stage, percent, message});
}

TEST(DecodeLZWTest, ReportsProgressPerCodeAndOnEveryExit) {
  const Bytes pixels = test::PatternPixels(2000, 16, 4);
  TMemoryStream codes;
  codes.Assign(test::CodeData(pixels, 4));
  Bytes buffer(2000 * 4, 0);
  bool corrupt = false;
  g_calls.clear();
  DecodeLZW(codes, 2000, 1, 8, false, &RecordProgress, nullptr, corrupt, buffer.data(), true);
  ASSERT_GE(g_calls.size(), 3u);
  EXPECT_EQ(g_calls.front().stage, psStarting);
  EXPECT_EQ(g_calls.back().stage, psEnding);
  EXPECT_EQ(g_calls.back().percent, 100);
  int last = 0;
  for (size_t i = 1; i + 1 < g_calls.size(); ++i) {
    EXPECT_EQ(g_calls[i].stage, psRunning);
    EXPECT_GE(g_calls[i].percent, last);
    last = g_calls[i].percent;
  }
  EXPECT_EQ(last, 100);

  g_calls.clear();
  TMemoryStream bad;
  bad.Assign(Bytes{12, 1, 0});
  EXPECT_THROW(DecodeLZW(bad, 4, 1, 8, false, &RecordProgress, nullptr, corrupt, buffer.data(), false),
               EInvalidGraphicOperation);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].stage, psEnding);
  EXPECT_EQ(g_calls[1].percent, 0);
  EXPECT_EQ(g_calls[1].message, "GIF code size not in range 2 to 9");
}

}  // namespace
}  // namespace lumivane
