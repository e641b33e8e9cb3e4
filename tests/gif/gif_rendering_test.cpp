// Frames as bitmaps: the bitmap-file image, decoding through TBitmap, drawing with and without
// the transparent colour, and the copy rules of frames and images.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif/dib_stream.h"
#include "gif/stretch_transparent.h"
#include "gif_test_data.h"
#include "picture/bitmap.h"

namespace lumivane {
namespace {

using test::Bytes;
using test::GifBuilder;
using test::LoadGif;

uint32_t DWordAt(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

Bytes StreamBytes(TMemoryStream& s) { return Bytes(s.Memory(), s.Memory() + s.Size()); }

TEST(DibStreamTest, DepthAndPalette) {
  EXPECT_EQ(DIBDepthForBits(1), 1);
  for (int bits : {2, 3, 4}) EXPECT_EQ(DIBDepthForBits(bits), 4);
  for (int bits : {5, 6, 7, 8}) EXPECT_EQ(DIBDepthForBits(bits), 8);
  for (int bits : {0, 9, -1}) EXPECT_THROW(DIBDepthForBits(bits), EInvalidGraphicOperation);

  ColorTable table;
  table.Count = 3;
  table.Entries[2][0] = 10;  // red
  table.Entries[2][1] = 20;
  table.Entries[2][2] = 30;
  const auto palette = ExpandPalette(table);
  EXPECT_EQ(palette[8], 30);  // blue, green, red, 0
  EXPECT_EQ(palette[9], 20);
  EXPECT_EQ(palette[10], 10);
  EXPECT_EQ(palette[11], 0);
  for (int i = 12; i < 1024; ++i) ASSERT_EQ(palette[i], 128) << i;
  table.Count = 256;
  table.Entries[255][0] = 1;
  EXPECT_EQ(ExpandPalette(table)[255 * 4 + 2], 1);
  EXPECT_EQ(ExpandPalette(table)[255 * 4 + 3], 0);
}

TEST(DibStreamTest, HeadersPaletteSizesAndPadding) {
  struct Case {
    int colors, width, height, depth, rowBytes;
  };
  for (const Case c : {Case{2, 3, 2, 1, 4}, Case{4, 3, 2, 4, 4}, Case{16, 9, 3, 4, 8}, Case{32, 5, 2, 8, 8},
                       Case{256, 4, 1, 8, 4}}) {
    const int bits = test::BitsFor(c.colors);
    const Bytes pixels = test::PatternPixels(c.width * c.height, c.colors, c.colors);
    auto image = LoadGif(test::SimpleGif(c.width, c.height, bits, pixels), false);
    TMemoryStream stream;
    BuildDIBStream(*image->FrameAt(0), stream);
    EXPECT_EQ(stream.Position(), 0);
    const Bytes dib = StreamBytes(stream);
    const uint32_t paletteBytes = (1u << c.depth) * 4;
    const uint32_t pixelBytes = c.height * c.rowBytes;
    ASSERT_EQ(dib.size(), 54 + paletteBytes + pixelBytes) << c.colors;
    EXPECT_EQ(dib[0], 'B');
    EXPECT_EQ(dib[1], 'M');
    EXPECT_EQ(DWordAt(&dib[2]), 54 + paletteBytes + pixelBytes);
    EXPECT_EQ(DWordAt(&dib[10]), 54 + paletteBytes);
    EXPECT_EQ(DWordAt(&dib[14]), 40u);
    EXPECT_EQ(DWordAt(&dib[18]), uint32_t(c.width));
    EXPECT_EQ(DWordAt(&dib[22]), uint32_t(c.height));
    EXPECT_EQ(dib[26], 1);
    EXPECT_EQ(dib[28], c.depth);
    EXPECT_EQ(DWordAt(&dib[30]), 0u);
    EXPECT_EQ(DWordAt(&dib[34]), pixelBytes);
    // Palette entries past the colour count are grey with a reserved byte of 128.
    if (c.colors < (1 << c.depth)) {
      EXPECT_EQ(dib[54 + c.colors * 4], 128);
      EXPECT_EQ(dib[54 + c.colors * 4 + 3], 128);
    }
    // The last pixel of the top row sits in the last stored row; padding bytes stay 0.
    const uint8_t* top = &dib[54 + paletteBytes + (c.height - 1) * c.rowBytes];
    const int x = c.width - 1;
    const int value = c.depth == 8   ? top[x]
                      : c.depth == 4 ? (top[x / 2] >> (x % 2 ? 0 : 4)) & 15
                                     : (top[x / 8] >> (7 - x % 8)) & 1;
    EXPECT_EQ(value, pixels[x]);
    const int usedBytes = (c.width * c.depth + 7) / 8;
    for (int row = 0; row < c.height; ++row)
      for (int b = usedBytes; b < c.rowBytes; ++b)
        EXPECT_EQ(dib[54 + paletteBytes + row * c.rowBytes + b], 0) << "padding";
  }
}

TEST(FrameBitmapTest, DecodesToThePaletteColours) {
  for (int bits : {1, 3, 8}) {
    const int w = 13, h = 7;
    const Bytes pixels = test::PatternPixels(w * h, 1 << bits, 40 + bits);
    auto image = LoadGif(test::SimpleGif(w, h, bits, pixels, bits == 3));
    TBitmap& bitmap = image->ActiveBitmap();
    EXPECT_EQ(bitmap.ImageWidth(), w);
    EXPECT_EQ(bitmap.ImageHeight(), h);
    EXPECT_EQ(test::BitmapColors(bitmap), test::PaletteColors(pixels, test::Palette(1 << bits)))
        << "bits " << bits;
    EXPECT_EQ(image->ImageWidth(), w);
    EXPECT_EQ(image->ImageHeight(), h);
  }
}

TEST(FrameBitmapTest, DecodedOnDemandAndKept) {
  GifBuilder gif;
  gif.Header().Screen(4, 4, test::Palette(4));
  gif.Image(0, 0, 4, 4, test::CodeData(Bytes(16, 1), 2));
  gif.Image(1, 2, 2, 2, test::CodeData(Bytes{3, 3, 3, 3}, 2));
  auto image = LoadGif(gif.Trailer().Data());
  TGIFFrame& second = *image->FrameAt(1);
  EXPECT_EQ(second.BitmapIfAny(), nullptr);
  EXPECT_EQ(second.FrameWidth(), 2);
  TBitmap* decoded = second.BitmapIfAny();
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(&second.FrameBitmap(), decoded);  // kept
  image->RecomputeLogicalSize();
  EXPECT_EQ(image->LogicalWidth(), 4);
  EXPECT_EQ(image->LogicalHeight(), 4);
}

// A 32-bit bitmap filled with one colour, as a drawing target.
std::unique_ptr<TBitmap> Target(int w, int h, TColor fill) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  bitmap->SetSize(w, h);
  bitmap->Canvas().Brush().SetColor(fill);
  bitmap->Canvas().FillRect(Rect(0, 0, w, h));
  return bitmap;
}

TEST(DrawFrameTest, TransparencyOnlyWhenAsked) {
  // 2x2: indices 0 1 / 2 0, index 0 transparent.
  GifBuilder gif;
  gif.Header().Screen(2, 2, test::Palette(4)).GraphicControl(0, true, 0, 0);
  auto image = LoadGif(gif.Image(0, 0, 2, 2, test::CodeData(Bytes{0, 1, 2, 0}, 2)).Data());
  const Bytes palette = test::Palette(4);
  const uint32_t c1 = (palette[3] << 16) | (palette[4] << 8) | palette[5];
  const uint32_t c2 = (palette[6] << 16) | (palette[7] << 8) | palette[8];
  const uint32_t c0 = (palette[0] << 16) | (palette[1] << 8) | palette[2];
  const TColor green = 0x00FF00;

  auto target = Target(4, 4, green);
  image->FrameAt(0)->DrawFrame(target->Canvas(), Rect(0, 0, 4, 4), true);  // stretched x2
  const uint32_t g = 0x00FF00;
  EXPECT_EQ(test::BitmapColors(*target),
            (std::vector<uint32_t>{g, g, c1, c1, g, g, c1, c1, c2, c2, g, g, c2, c2, g, g}));

  auto opaque = Target(2, 2, green);
  image->FrameAt(0)->DrawFrame(opaque->Canvas(), Rect(0, 0, 2, 2), false);
  EXPECT_EQ(test::BitmapColors(*opaque), (std::vector<uint32_t>{c0, c1, c2, c0}));

  // The image draws its active frame with its own transparency.
  auto viaImage = Target(2, 2, green);
  image->DrawInto(viaImage->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(test::BitmapColors(*viaImage), (std::vector<uint32_t>{g, c1, c2, g}));
  image->SetTransparent(false);
  image->DrawInto(viaImage->Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(test::BitmapColors(*viaImage), (std::vector<uint32_t>{c0, c1, c2, c0}));
}

TEST(DrawFrameTest, StretchTransparentDefaultColourIsBottomLeft) {
  auto source = Target(2, 2, 0x0000FF);        // red
  source->Canvas().SetPixels(0, 0, 0xFF0000);  // blue top-left
  auto target = Target(2, 2, 0x00FF00);
  StretchTransparent(target->Canvas(), 0, 0, 0, 0, *source, Rect(0, 0, 0, 0), clDefault);
  // Red (the bottom-left colour) is left out; blue is drawn. Sizes below 1 mean the bitmap's.
  EXPECT_EQ(test::BitmapColors(*target), (std::vector<uint32_t>{0x0000FF, 0x00FF00, 0x00FF00, 0x00FF00}));
  // clNone draws everything.
  StretchTransparent(target->Canvas(), 0, 0, 2, 2, *source, Rect(0, 0, 2, 2), clNone);
  EXPECT_EQ(test::BitmapColors(*target), (std::vector<uint32_t>{0x0000FF, 0xFF0000, 0xFF0000, 0xFF0000}));
  EXPECT_EQ(source->Canvas().LockCount(), 0);
}

// Each destination pixel shows the source pixel under its centre, or keeps the canvas where that
// pixel has the transparent colour; parts of the stretch outside the canvas change nothing.
TEST(DrawFrameTest, StretchTransparentSamplesTheSourceForEveryVisiblePixel) {
  constexpr TColor kKey = 0x00FF00;
  constexpr TColor kCanvas = 0x102030;
  auto source = Target(7, 5, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      source->Canvas().SetPixels(x, y, (x + 2 * y) % 3 == 0 ? kKey : x * 0x10 + y * 0x1000);
  struct Case {
    int x, y, width, height;
  };
  for (const Case c : {Case{-3, 2, 11, 9}, Case{1, -2, 3, 2}, Case{4, 4, 5, 5}, Case{-20, -10, 40, 30}}) {
    auto target = Target(6, 6, kCanvas);
    StretchTransparent(target->Canvas(), c.x, c.y, c.width, c.height, *source, Rect(0, 0, 7, 5), kKey);
    for (int ty = 0; ty < 6; ++ty) {
      for (int tx = 0; tx < 6; ++tx) {
        TColor expected = kCanvas;
        const int dx = tx - c.x;
        const int dy = ty - c.y;
        if (dx >= 0 && dx < c.width && dy >= 0 && dy < c.height) {
          const TColor under =
              source->Canvas().Pixels((2 * dx + 1) * 7 / (2 * c.width), (2 * dy + 1) * 5 / (2 * c.height));
          if (under != kKey) expected = under;
        }
        ASSERT_EQ(target->Canvas().Pixels(tx, ty), expected)
            << "at " << tx << "," << ty << " drawing at " << c.x << "," << c.y << " " << c.width << "x"
            << c.height;
      }
    }
  }
}

// Found by fuzzing: a 146-byte file whose only frame is 27704 x 51573 pixels on a screen with no
// height took over a minute to draw into a small box, because the whole frame was copied and
// masked at full size before being shrunk. Drawing now costs what is drawn; the pixels are the
// same.
TEST(DrawFrameTest, AHugeFrameDrawnSmallShowsItsSampledPixels) {
  GifBuilder gif;
  const Bytes palette = test::Palette(4);
  gif.Header().Screen(1036, 0, palette).GraphicControl(0, true, 1, 0);
  gif.Image(0, 0, 20000, 30000, test::CodeData(Bytes{0, 0, 0, 0}, 2));
  auto image = LoadGif(gif.Trailer().Data());
  auto target = Target(64, 48, 0x102030);
  image->FrameAt(0)->DrawFrame(target->Canvas(), Rect(0, 0, 64, 48), true);
  // Index 0 everywhere (the rows the data does not reach included); index 1 would be transparent.
  const uint32_t first = (uint32_t{palette[0]} << 16) | (uint32_t{palette[1]} << 8) | palette[2];
  for (const uint32_t pixel : test::BitmapColors(*target)) ASSERT_EQ(pixel, first);
}

TEST(CopyRulesTest, BitmapIntoImage) {
  auto bitmap = Target(3, 2, 0x123456);
  TGIFImage image;
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  image.AssignFrom(bitmap.get());
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(image.FrameCount(), 1);
  EXPECT_EQ(image.ActiveFrameIndex, 0);
  EXPECT_EQ(image.FormatVersion(), 1);
  EXPECT_FALSE(image.FrameAt(0)->SharedItem->CodeData);  // no coding happens
  EXPECT_EQ(image.ImageWidth(), 3);
  EXPECT_EQ(image.LogicalWidth(), 3);
  EXPECT_EQ(test::BitmapColors(image.ActiveBitmap()).front(), 0x563412u);
  // A second frame makes it an 89a image.
  image.AddFrame(bitmap.get());
  EXPECT_EQ(image.FormatVersion(), 2);
  EXPECT_EQ(image.ActiveFrameIndex, 1);
}

TEST(CopyRulesTest, ImagesShareTheirData) {
  GifBuilder gif;
  gif.Header().Screen(2, 2, test::Palette(4)).Loop(3).GraphicControl(7, true, 1, 2);
  gif.Image(0, 0, 2, 2, test::CodeData(Bytes{0, 1, 2, 3}, 2));
  gif.Image(0, 0, 1, 1, test::CodeData(Bytes{3}, 2), test::Palette(4));
  auto source = LoadGif(gif.Trailer().Data());
  TGIFImage copy;
  copy.AssignFrom(source.get());
  EXPECT_TRUE(copy.SameImageAs(source.get()));
  EXPECT_EQ(&copy.Data(), &source->Data());
  ASSERT_EQ(copy.FrameCount(), 2);
  EXPECT_EQ(copy.FrameAt(0)->SharedItem, source->FrameAt(0)->SharedItem);
  EXPECT_EQ(copy.FrameAt(1)->SharedItem->RefCount(), 2);
  EXPECT_EQ(copy.FrameAt(0)->DelayTime, 70);
  EXPECT_EQ(copy.FrameAt(0)->DisposalMethod, 2);
  EXPECT_TRUE(copy.FrameAt(1)->HasLocalColors);
  EXPECT_FALSE(copy.FrameAt(0)->HasLocalColors);
  EXPECT_EQ(copy.LoopCount(), 3);
  EXPECT_EQ(copy.ActiveFrameIndex, 0);
  EXPECT_EQ(test::BitmapColors(copy.FrameAt(1)->FrameBitmap()),
            test::BitmapColors(source->FrameAt(1)->FrameBitmap()));

  // Copying into itself changes nothing; a different image is not the same.
  copy.AssignFrom(&copy);
  EXPECT_EQ(copy.FrameCount(), 2);
  TGIFImage other;
  EXPECT_FALSE(other.SameImageAs(&copy));
  // The shared data lives on when the source goes.
  source.reset();
  EXPECT_EQ(copy.FrameAt(1)->SharedItem->RefCount(), 1);
  EXPECT_EQ(copy.FrameAt(1)->FrameWidth(), 1);
}

TEST(CopyRulesTest, FramesBetweenImages) {
  GifBuilder gif;
  gif.Header().Screen(2, 2, test::Palette(4)).Comment({"note"});
  gif.Image(0, 0, 2, 2, test::CodeData(Bytes{0, 1, 2, 3}, 2));
  auto source = LoadGif(gif.Data());
  TGIFFrame& from = *source->FrameAt(0);
  EXPECT_FALSE(from.HasLocalColors);

  TGIFImage target;
  target.AddFrame(Target(1, 1, 0).get());
  TGIFFrame& into = *target.FrameAt(0);
  into.AssignFrom(&from);
  EXPECT_TRUE(into.HasLocalColors);  // from another image
  EXPECT_EQ(into.SharedItem, from.SharedItem);
  EXPECT_EQ(into.Comments().Strings(0), "note");
  EXPECT_EQ(target.LogicalWidth(), 2);  // recomputed from the new frame
  into.AssignFrom(&into);               // a frame into itself: nothing changes
  EXPECT_EQ(into.SharedItem, from.SharedItem);

  // A frame copied into an image brings the colour settings of its owner.
  TGIFImage single;
  single.AssignFrom(&from);
  EXPECT_EQ(single.FrameCount(), 1);
  EXPECT_EQ(single.FormatVersion(), 1);
  EXPECT_EQ(single.Data().GlobalColors.Count, 4);

  // A frame into a bitmap: the decoded pixels, with the transparent colour when it has one.
  TBitmap bitmap;
  from.TransparentColor = 0x411C0F;  // entry 2
  bitmap.AssignFrom(source.get());
  EXPECT_EQ(bitmap.ImageWidth(), 2);
  EXPECT_TRUE(bitmap.Transparent());
  EXPECT_EQ(bitmap.TransparentColor() & 0xFFFFFF, 0x411C0F);
  // An empty image empties the target; null resets a frame.
  TGIFImage empty;
  bitmap.AssignFrom(&empty);
  EXPECT_TRUE(bitmap.IsEmpty());
  into.AssignFrom(nullptr);
  EXPECT_EQ(into.BitmapIfAny(), nullptr);
  EXPECT_FALSE(into.SharedItem->CodeData);
}

// Pictures made by ImageMagick decode to the colours it was given.
TEST(ImageMagickTest, DecodesFilesItWrote) {
  const char* convert = "/usr/bin/convert-im6.q16";
  if (!std::filesystem::exists(convert)) GTEST_SKIP() << "ImageMagick is not installed";
  const auto dir = std::filesystem::temp_directory_path() / ("gif_im_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  struct Case {
    int colors, width, height;
    bool interlace;
  };
  for (const Case c :
       {Case{2, 31, 9, false}, Case{16, 40, 21, true}, Case{200, 97, 61, false}, Case{256, 64, 64, true}}) {
    const Bytes indices = test::PatternPixels(c.width * c.height, c.colors, c.colors + 1);
    const Bytes palette = test::Palette(c.colors);
    const std::string ppm = (dir / "in.ppm").string();
    const std::string gif = (dir / "out.gif").string();
    {
      std::ofstream out(ppm, std::ios::binary);
      out << "P6\n" << c.width << " " << c.height << "\n255\n";
      for (uint8_t i : indices) out.write(reinterpret_cast<const char*>(&palette[i * 3]), 3);
    }
    const std::string command =
        std::string(convert) + " " + ppm + (c.interlace ? " -interlace GIF" : "") + " " + gif;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    auto image = LoadGif(test::ReadFileBytes(gif));
    ASSERT_EQ(image->FrameCount(), 1);
    EXPECT_EQ(image->FrameAt(0)->InterlaceFlag, c.interlace);
    EXPECT_EQ(test::BitmapColors(image->ActiveBitmap()), test::PaletteColors(indices, palette))
        << c.colors << " colours";
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lumivane

namespace lumivane {
namespace {

// Copying an image's own frame or bitmap into it, or a frame's own bitmap into the frame, must
// work from what the copy is about to replace without reading freed memory.
TEST(SelfCopyTest, OwnFramesAndBitmapsCopyIntoTheirOwners) {
  const test::Bytes pixels = test::PatternPixels(4 * 3, 4, 7);
  const std::vector<uint32_t> expected = test::PaletteColors(pixels, test::Palette(4));

  auto image = test::LoadGif(test::SimpleGif(4, 3, 2, pixels));
  image->AssignFrom(image->FrameAt(0));
  ASSERT_EQ(image->FrameCount(), 1);
  EXPECT_EQ(test::BitmapColors(image->FrameAt(0)->FrameBitmap()), expected);

  image->AssignFrom(&image->ActiveBitmap());
  ASSERT_EQ(image->FrameCount(), 1);
  EXPECT_EQ(test::BitmapColors(image->ActiveBitmap()), expected);

  TGIFFrame* frame = image->FrameAt(0);
  frame->AssignFrom(&frame->FrameBitmap());
  EXPECT_EQ(test::BitmapColors(frame->FrameBitmap()), expected);
}

}  // namespace
}  // namespace lumivane
