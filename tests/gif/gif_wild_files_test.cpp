// GIF files as encoders write them today: code sizes larger than the colour table needs, code
// streams without a leading clear code, 2-colour transparent frames, extension blocks of unknown
// kinds, frames without any colour table, and frames far larger than their screen. Each file is
// built here byte by byte and read back through the reader and the composition.
#include <gtest/gtest.h>

#include "framework/memory_stream.h"
#include "gif/dib_stream.h"
#include "gif/gif_animator.h"
#include "gif/pixel_writer.h"
#include "gif_test_data.h"
#include "picture/bitmap.h"

namespace lumivane {
namespace {

using test::Bytes;
using test::GifBuilder;

// The colour of palette entry Index as 0xRRGGBB.
uint32_t Entry(const Bytes& palette, int index) {
  return (palette[index * 3] << 16) | (palette[index * 3 + 1] << 8) | palette[index * 3 + 2];
}

// The composed frames 0 .. Count - 1, stepped through one after another as the animation does.
std::vector<std::vector<uint32_t>> ComposeAll(const Bytes& gif) {
  auto image = test::LoadGif(gif);
  TGIFAnimator animator(nullptr);
  animator.Image()->AssignFrom(image.get());
  std::vector<std::vector<uint32_t>> frames;
  for (int i = 0; i < image->FrameCount(); ++i) {
    TColor trans = clNone;
    frames.push_back(test::BitmapColors(*animator.ComposeFrame(i, trans)));
  }
  return frames;
}

TEST(WildGifTest, CodeSizeLargerThanTheTableNeeds) {
  // An 8-colour table written with code size 8: every code below 256 is a literal.
  const Bytes palette = test::Palette(8);
  Bytes pixels = test::PatternPixels(12 * 10, 8, 2);
  pixels[5] = 200;  // outside the table: shown with the padding grey of the bitmap's palette
  GifBuilder gif;
  gif.Header().Screen(12, 10, palette).Image(0, 0, 12, 10, test::CodeData(pixels, 8)).Trailer();
  auto image = test::LoadGif(gif.Data());
  const std::vector<uint32_t> colors = test::BitmapColors(image->FrameAt(0)->FrameBitmap());
  ASSERT_EQ(colors.size(), pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) {
    // An 8-colour frame has 4-bit pixels: 200 keeps its low bits (8), a padding entry.
    const uint32_t expected = pixels[i] < 8 ? Entry(palette, pixels[i]) : 0x808080;
    EXPECT_EQ(colors[i], expected) << "pixel " << i;
  }
  EXPECT_FALSE(image->FrameAt(0)->DataCorrupt);
}

TEST(WildGifTest, CodeStreamWithoutLeadingClearCode) {
  const Bytes palette = test::Palette(16);
  const Bytes pixels = test::PatternPixels(40 * 30, 16, 7);
  test::EncodeOptions noClear;
  noClear.LeadingClear = false;
  GifBuilder gif;
  gif.Header().Screen(40, 30, palette).Image(0, 0, 40, 30, test::CodeData(pixels, 4, noClear)).Trailer();
  auto image = test::LoadGif(gif.Data());
  EXPECT_EQ(test::BitmapColors(image->FrameAt(0)->FrameBitmap()), test::PaletteColors(pixels, palette));
}

TEST(WildGifTest, TwoColourFrameKeepsItsTransparency) {
  // Frame 0 fills the screen with entry 2 of the global table; frame 1 is a 2-colour frame whose
  // entry 0 (black, as in many files) is transparent, and whose entry 1 is black as well.
  const Bytes global = test::Palette(4);
  const Bytes local{0, 0, 0, 0, 0, 0};
  GifBuilder gif;
  gif.Header().Screen(4, 1, global);
  gif.GraphicControl(10, false, 0, 1).Image(0, 0, 4, 1, test::CodeData(Bytes{2, 2, 2, 2}, 2));
  gif.GraphicControl(10, true, 0, 1).Image(0, 0, 4, 1, test::CodeData(Bytes{0, 1, 0, 1}, 2), local);
  gif.Trailer();
  const auto frames = ComposeAll(gif.Data());
  ASSERT_EQ(frames.size(), 2u);
  const uint32_t under = Entry(global, 2);
  EXPECT_EQ(frames[1], (std::vector<uint32_t>{under, 0x000000, under, 0x000000}));
}

TEST(WildGifTest, UnknownExtensionBlocksAreSkipped) {
  const Bytes palette = test::Palette(4);
  const Bytes pixels{0, 1, 2, 3};
  GifBuilder gif;
  gif.Header().Screen(2, 2, palette);
  gif.Raw(Bytes{0x21, 0xAB, 3, 'a', 'b', 'c', 2, 'd', 'e', 0});  // unknown label, two sub-blocks
  gif.GraphicControl(30, false, 0, 0);
  gif.Raw(Bytes{0x21, 0x02, 0});  // unknown label, no data
  gif.Image(0, 0, 2, 2, test::CodeData(pixels, 2));
  gif.Raw(Bytes{0x21, 0x99, 1, 'z', 0}).Trailer();  // unknown block before the trailer
  auto image = test::LoadGif(gif.Data());
  ASSERT_EQ(image->FrameCount(), 1);
  EXPECT_EQ(image->FrameAt(0)->DelayTime, 300);  // the graphic control block still counts
  EXPECT_EQ(test::BitmapColors(image->FrameAt(0)->FrameBitmap()), test::PaletteColors(pixels, palette));
}

TEST(WildGifTest, FrameWithoutAnyColourTableUsesDefaultGreys) {
  // The screen's table size field says 4 bits, but the file has no table: 16 greys, 17 apart.
  Bytes header{'G', 'I', 'F', '8', '9', 'a', 4, 0, 1, 0, 0x03, 0, 0};
  GifBuilder gif;
  gif.Raw(header).GraphicControl(0, true, 15, 0);
  gif.Image(0, 0, 4, 1, test::CodeData(Bytes{0, 1, 15, 8}, 4)).Trailer();
  auto image = test::LoadGif(gif.Data());
  TGIFFrame& frame = *image->FrameAt(0);
  EXPECT_EQ(test::BitmapColors(frame.FrameBitmap()),
            (std::vector<uint32_t>{0x000000, 0x111111, 0xFFFFFF, 0x888888}));
  // Transparency refers to the default table too.
  EXPECT_EQ(frame.TransparentColor, static_cast<TColor>(0xFFFFFF));
  EXPECT_EQ(frame.TransparentIndex, 15);
}

TEST(WildGifTest, FramesAreDecodedOnlyAsFarAsTheScreenReaches) {
  // A 65535 x 1321 frame on a 32 x 32 screen: its bitmap holds the 32 x 32 corner. This is the
  // shape of the first fuzzing finding, a 401-byte file for which the reader asked for 1.29 GB
  // because a frame's bitmap had its full declared size.
  const Bytes palette = test::Palette(4);
  GifBuilder wide;
  wide.Header().Screen(32, 32, palette).Image(0, 0, 65535, 1321, test::CodeData(Bytes{1, 2, 3}, 2)).Trailer();
  auto image = test::LoadGif(wide.Data());
  TGIFFrame& frame = *image->FrameAt(0);
  EXPECT_EQ(frame.FrameWidth(), 32);
  EXPECT_EQ(frame.FrameHeight(), 32);
  const std::vector<uint32_t> colors = test::BitmapColors(frame.FrameBitmap());
  EXPECT_EQ(colors[0], Entry(palette, 1));
  EXPECT_EQ(colors[2], Entry(palette, 3));
  EXPECT_EQ(colors[3], Entry(palette, 0));  // rows not reached keep pixel value 0

  // Plain and interlaced frames cut on the right and at the bottom keep the pixels they show.
  const Bytes pixels = test::PatternPixels(20 * 13, 4, 11);
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "interlaced" : "plain");
    GifBuilder cut;
    cut.Header().Screen(9, 7, palette).Image(2, 1, 20, 13, test::CodeData(pixels, 2), {}, interlaced);
    auto clipped = test::LoadGif(cut.Data());
    TGIFFrame& part = *clipped->FrameAt(0);
    ASSERT_EQ(FrameClip(part).Width, 7);
    ASSERT_EQ(FrameClip(part).Height, 6);
    const std::vector<uint32_t> shown = test::BitmapColors(part.FrameBitmap());
    ASSERT_EQ(shown.size(), 42u);
    // Interlaced rows arrive as 0, 8, 4, 12, 2, 6, 10, 1, ...: the data's row k is image row
    // RowOf[k].
    std::vector<int> rowOf;
    int pass = 0;
    for (int y = 0; y < 13; y = NextInterlacedRow(y, 13, pass)) rowOf.push_back(y);
    for (int k = 0; k < 13; ++k) {
      const int y = interlaced ? rowOf[k] : k;
      if (y >= 6) continue;
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(shown[y * 7 + x], Entry(palette, pixels[k * 20 + x])) << x << "," << y;
    }
  }
}

TEST(WildGifTest, OnlyTheTransparentIndexIsLeftOut) {
  // Entries 0 and 3 have the same colour; only entry 3 is transparent. Frame 1 draws 0 and 3
  // over frame 0's entry 1.
  Bytes palette = test::Palette(4);
  for (int c = 0; c < 3; ++c) palette[9 + c] = palette[c];
  GifBuilder gif;
  gif.Header().Screen(2, 1, palette);
  gif.GraphicControl(10, false, 0, 1).Image(0, 0, 2, 1, test::CodeData(Bytes{1, 1}, 2));
  gif.GraphicControl(10, true, 3, 1).Image(0, 0, 2, 1, test::CodeData(Bytes{0, 3}, 2));
  const auto frames = ComposeAll(gif.Trailer().Data());
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], (std::vector<uint32_t>{Entry(palette, 0), Entry(palette, 1)}));
}

}  // namespace
}  // namespace lumivane
