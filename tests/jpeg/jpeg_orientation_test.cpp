// Photos shown upright: the EXIF orientation reader, and JPEG files of every orientation written
// by Pillow, compared with Pillow's own upright reading of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/memory_stream.h"
#include "jpeg_test_images.h"
#include "picture/bitmap.h"
#include "picture/exif_orientation.h"
#include "picture/jpeg_image.h"
#include "picture/picture.h"
#include "pillow_pictures.h"

namespace lumivane {
namespace {

// An APP1 payload: "Exif\0\0", a TIFF header in the given byte order and IFD0 with the entries.
struct Entry {
  uint16_t Tag, Type;
  uint32_t Count;
  uint16_t Value;
};
std::vector<uint8_t> ExifBlock(bool bigEndian, const std::vector<Entry>& entries, uint32_t ifdOffset = 8) {
  std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](uint16_t v) {
    if (bigEndian)
      b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
    else
      b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
  };
  auto u32 = [&](uint32_t v) {
    if (bigEndian)
      b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    else
      b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  };
  b.insert(b.end(),
           bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
  u16(42);
  u32(ifdOffset);
  u16(static_cast<uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    u16(e.Tag);
    u16(e.Type);
    u32(e.Count);
    u16(e.Value);  // a SHORT sits in the first two bytes of the value field
    u16(0);
  }
  u32(0);  // no next IFD
  return b;
}

int Orientation(const std::vector<uint8_t>& block) { return ReadExifOrientation(block.data(), block.size()); }

TEST(ExifOrientation, ReadsTheTagInBothByteOrdersAmongOtherTags) {
  for (bool big : {false, true}) {
    for (uint16_t value = 1; value <= 8; ++value) {
      std::vector<Entry> entries = {{0x010F, 2, 4, 0}, {0x0112, 3, 1, value}, {0x011A, 5, 1, 0}};
      EXPECT_EQ(Orientation(ExifBlock(big, entries)), value) << big;
    }
  }
}

TEST(ExifOrientation, AnythingBrokenOrMissingGivesNoOrientation) {
  const std::vector<Entry> good = {{0x0112, 3, 1, 6}};
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x010F, 2, 4, 0}})), 0);  // no tag
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 3, 1, 0}})), 0);  // value out of range
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 3, 1, 9}})), 0);
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 2, 1, 6}})), 0);  // not an integer
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 9, 1, 6}})), 6);  // a signed LONG, as some write
  EXPECT_EQ(Orientation(ExifBlock(true, {{0x0112, 4, 1, 6}})), 0);   // a LONG of 6 << 16
  EXPECT_EQ(Orientation(ExifBlock(false, {{0x0112, 3, 2, 6}})), 0);  // more than one value
  EXPECT_EQ(Orientation(ExifBlock(false, good, 0xFFFFFFF0u)), 0);    // IFD past the end
  std::vector<uint8_t> block = ExifBlock(true, good);
  block[6] = 'X';  // neither byte order
  EXPECT_EQ(Orientation(block), 0);
  block = ExifBlock(false, good);
  block[0] = 'e';  // not an EXIF block
  EXPECT_EQ(Orientation(block), 0);
  // An entry count that runs past the block.
  block = ExifBlock(false, good);
  block[14] = 0xFF;
  block[15] = 0xFF;
  EXPECT_EQ(Orientation(block), 6);  // found before the count runs out
  block = ExifBlock(false, {{0x010F, 2, 4, 0}});
  block[14] = 0xFF;
  EXPECT_EQ(Orientation(block), 0);
  EXPECT_EQ(ReadExifOrientation(nullptr, 0), 0);
}

TEST(ExifOrientation, EveryCutOfABlockStaysInsideIt) {
  std::vector<uint8_t> block = ExifBlock(true, {{0x0100, 3, 1, 5}, {0x0112, 3, 1, 7}});
  for (size_t size = 0; size < block.size(); ++size) {
    // A copy of exactly that size, so that the sanitizer sees any read past it.
    std::vector<uint8_t> cut(block.begin(), block.begin() + size);
    int found = ReadExifOrientation(cut.data(), cut.size());
    EXPECT_TRUE(found == 0 || (found == 7 && size >= 30)) << size;
  }
  EXPECT_EQ(Orientation(block), 7);
}

class PillowJpeg : public testing::TestWithParam<std::string> {};

TEST_P(PillowJpeg, ShowsUprightAsPillowReadsIt) {
  const std::string& folder = PillowPictureFolder();
  if (folder.empty()) GTEST_SKIP() << "Pillow cannot be run here";
  const std::string path = folder + "/" + GetParam();
  ReferencePixels reference = ReadReference(path);
  ASSERT_GT(reference.Width, 0);
  TJPEGImage image;
  auto stream = StreamOf(ReadBytes(path));
  image.ReadFromStream(*stream);
  // The upright size is known before decoding.
  EXPECT_EQ(image.ImageWidth(), reference.Width);
  EXPECT_EQ(image.ImageHeight(), reference.Height);
  TBitmap* bitmap = image.DecodeBitmap();
  ASSERT_EQ(bitmap->ImageWidth(), reference.Width);
  ASSERT_EQ(bitmap->ImageHeight(), reference.Height);
  // The same library decodes both; the DCT and grey quantizing differ slightly.
  Difference difference = CompareWith(*bitmap, reference);
  EXPECT_LE(difference.Worst, 12) << GetParam();
  EXPECT_LT(difference.Mean, 2.0) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Orientations, PillowJpeg,
                         testing::Values("orientation1.jpg", "orientation2.jpg", "orientation3.jpg",
                                         "orientation4.jpg", "orientation5.jpg", "orientation6.jpg",
                                         "orientation7.jpg", "orientation8.jpg", "gray6.jpg", "cmyk8.jpg",
                                         "progressive7.jpg", "tall3.jpg"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param.substr(0, info.param.find('.'));
                         });

// Splices an APP1 segment with the payload in right after the start-of-image marker.
std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  const size_t length = payload.size() + 2;
  out.insert(out.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
  out.insert(out.end(), payload.begin(), payload.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

TEST(JpegOrientation, ABrokenExifBlockShowsThePictureAsStored) {
  JpegOptions options;
  options.Width = 40;
  options.Height = 24;
  std::vector<uint8_t> plain = MakeJpeg(options);
  std::vector<uint8_t> broken = ExifBlock(false, {{0x0112, 3, 1, 6}}, 0x7FFF);
  for (const auto& payload : {broken, std::vector<uint8_t>{'E', 'x', 'i', 'f', 0, 0, 'I'}}) {
    TJPEGImage image;
    auto stream = StreamOf(WithApp1(plain, payload));
    image.ReadFromStream(*stream);
    EXPECT_EQ(image.Data().Orientation, 1);
    TBitmap* bitmap = image.DecodeBitmap();
    EXPECT_EQ(bitmap->ImageWidth(), 40);
    EXPECT_LE(MaxPatternError(*bitmap, false), 12);
  }
}

TEST(JpegOrientation, ThePictureContainerReportsTheUprightSize) {
  JpegOptions options;
  options.Width = 40;
  options.Height = 24;
  std::vector<uint8_t> turned = WithApp1(MakeJpeg(options), ExifBlock(true, {{0x0112, 3, 1, 8}}));
  const std::string path = testing::TempDir() + "turned.jpg";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(turned.data()), turned.size());
  RegisterJpegFormat();
  TPicture picture;
  picture.ReadFromFile(path);
  EXPECT_EQ(picture.ImageWidth(), 24);
  EXPECT_EQ(picture.ImageHeight(), 40);
  // Orientation 8 turns a quarter anticlockwise: the stored top-right corner is now top-left.
  auto* image = dynamic_cast<TJPEGImage*>(picture.Graphic());
  ASSERT_NE(image, nullptr);
  TBitmap* bitmap = image->DecodeBitmap();
  Rgb got = PixelOf(*bitmap, 0, 0);
  Rgb want = PatternColour(39, 0, 40, 24);
  EXPECT_NEAR(got.R, want.R, 12);
  EXPECT_NEAR(got.G, want.G, 12);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace lumivane
