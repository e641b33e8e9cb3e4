// TWebPImage: lossy, lossless, alpha and animated files written by Pillow, compared with Pillow's
// reading of them blended over the background; files cut short and headers that lie.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "jpeg_test_images.h"
#include "picture/bitmap.h"
#include "picture/file_formats_list.h"
#include "picture/picture.h"
#include "picture/webp_image.h"
#include "pillow_pictures.h"

namespace lumivane {
namespace {

constexpr TColor TestBackground = 0x3060C0;  // red 0xC0, green 0x60, blue 0x30

class WebPTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = WebPBackgroundColor;
    WebPBackgroundColor = TestBackground;
    if (PillowPictureFolder().empty()) GTEST_SKIP() << "Pillow cannot be run here";
  }
  void TearDown() override { WebPBackgroundColor = saved_; }
  static std::string Path(const std::string& name) { return PillowPictureFolder() + "/" + name; }
  static void Load(TWebPImage& image, const std::vector<uint8_t>& bytes) {
    auto stream = StreamOf(bytes);
    image.ReadFromStream(*stream);
  }

 private:
  TColor saved_ = clBtnFace;
};

TEST_F(WebPTest, EveryKindMatchesPillowOverTheBackground) {
  for (const char* name : {"lossy.webp", "lossless.webp", "lossless_alpha.webp", "lossy_alpha.webp",
                           "large.webp", "animated.webp"}) {
    ReferencePixels reference = ReadReference(Path(name));
    ASSERT_GT(reference.Width, 0) << name;
    TWebPImage image;
    Load(image, ReadBytes(Path(name)));
    EXPECT_EQ(image.ImageWidth(), reference.Width) << name;
    EXPECT_EQ(image.ImageHeight(), reference.Height) << name;
    ASSERT_EQ(image.Bitmap()->PixelFormat(), pf32bit);
    // The same library decodes both; only premultiplying rounds differently.
    Difference difference = CompareWith(*image.Bitmap(), reference, TestBackground);
    EXPECT_LE(difference.Worst, 2) << name;
  }
}

TEST_F(WebPTest, ANewBackgroundBlendsAgain) {
  TWebPImage image;
  Load(image, ReadBytes(Path("lossless_alpha.webp")));
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  image.SetBackgroundColor(0xFFFFFF);
  EXPECT_EQ(changes, 1);
  Difference difference = CompareWith(*image.Bitmap(), ReadReference(Path("lossless_alpha.webp")), 0xFFFFFF);
  EXPECT_LE(difference.Worst, 2);
}

TEST_F(WebPTest, EveryCutOfAFileLoadsWhatItHoldsOrIsRefused) {
  for (const char* name : {"lossy.webp", "lossless_alpha.webp", "animated.webp"}) {
    std::vector<uint8_t> bytes = ReadBytes(Path(name));
    ReferencePixels reference = ReadReference(Path(name));
    int loaded = 0;
    for (size_t keep = 0; keep < bytes.size(); ++keep) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + keep);
      TWebPImage image;
      try {
        Load(image, cut);
      } catch (const EInvalidGraphic&) {
        EXPECT_TRUE(image.IsEmpty());
        continue;
      }
      ++loaded;
      ASSERT_EQ(image.ImageWidth(), reference.Width) << name << " " << keep;
      ASSERT_EQ(image.ImageHeight(), reference.Height);
      // The bottom row is either what the file holds or, not reached, the background.
      uint8_t rgb[3];
      BitmapRgb(*image.Bitmap(), 0, reference.Height - 1, rgb);
      const bool background = rgb[0] == 0xC0 && rgb[1] == 0x60 && rgb[2] == 0x30;
      EXPECT_TRUE(background || CompareWith(*image.Bitmap(), reference, TestBackground).Worst <= 2)
          << name << " " << keep;
    }
    // A still file shows what arrived; an animation cut short is refused as a whole.
    if (std::string(name) == "animated.webp")
      EXPECT_EQ(loaded, 0);
    else
      EXPECT_GT(loaded, 0) << name;
  }
}

// A VP8L header declaring a size, with a little data behind it.
std::vector<uint8_t> LosslessHeader(int width, int height, size_t extra) {
  std::vector<uint8_t> chunk = {0x2F};
  const uint32_t bits = uint32_t(width - 1) | uint32_t(height - 1) << 14;
  chunk.insert(chunk.end(), {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)});
  chunk.resize(chunk.size() + extra, 0);
  if (chunk.size() % 2) chunk.push_back(0);
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L'};
  const uint32_t size = static_cast<uint32_t>(chunk.size());
  file.insert(file.end(), {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)});
  file.insert(file.end(), chunk.begin(), chunk.end());
  const uint32_t riff = static_cast<uint32_t>(file.size() - 8);
  for (int i = 0; i < 4; ++i) file[4 + i] = uint8_t(riff >> (8 * i));
  return file;
}

TEST_F(WebPTest, HeadersThatLieAreRefusedAndGarbageIsInvalid) {
  TWebPImage image;
  Load(image, ReadBytes(Path("lossy.webp")));
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  // 16383 x 16383 in 4 KB: more than the bytes can hold.
  EXPECT_THROW(Load(image, LosslessHeader(16383, 16383, 4000)), EInvalidGraphic);
  EXPECT_THROW(Load(image, {}), EInvalidGraphic);
  EXPECT_THROW(Load(image, std::vector<uint8_t>(64, 'x')), EInvalidGraphic);
  // The previous picture stays, unchanged.
  EXPECT_EQ(image.ImageWidth(), 40);
  EXPECT_EQ(changes, 0);
}

TEST_F(WebPTest, RegisteredForItsExtensionAndShowsThroughThePictureContainer) {
  RegisterWebpFormat();
  RegisterWebpFormat();  // a second call does nothing
  int entries = 0;
  for (int i = 0; i < FileFormatRegistry().Count(); ++i)
    entries += FileFormatRegistry().Items(i).Extension == "webp";
  EXPECT_EQ(entries, 1);
  const std::string path = testing::TempDir() + "picture.WEBP";
  std::vector<uint8_t> bytes = ReadBytes(Path("lossless.webp"));
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  TPicture picture;
  picture.ReadFromFile(path);
  EXPECT_NE(dynamic_cast<TWebPImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.ImageWidth(), 40);
  EXPECT_EQ(picture.ImageHeight(), 28);
  std::remove(path.c_str());
  UnregisterWebpFormat();
}

}  // namespace
}  // namespace lumivane
