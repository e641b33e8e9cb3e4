// The PNG reader and the PNG picture: every colour type decodes to the pixels the encoders read
// back, transparent pictures blend over what lies below, and damaged or cut-short files end in
// the reader's own error or in the rows they hold.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_builder.h"
#include "encoder_oracle.h"
#include "framework/exception.h"
#include "picture/bitmap.h"
#include "picture/picture.h"
#include "picture/png_image.h"
#include "picture/png_reader.h"
#include "platform/gdi/gdi.h"

namespace lumivane::test {
namespace {

constexpr const char* kInvalid = "PNG image is not valid";

// Files of every colour type, written by Pillow (interlaced and 16-bit ones by ImageMagick), with
// the writer's own reading of each as RGBA in "<name>.rgba".
const ScratchFolder& Samples() {
  static ScratchFolder folder;
  static bool made = false;
  if (made) return folder;
  made = true;
  const std::string dir = folder.path.string();
  RunPillow(R"(
from PIL import Image
d = ')" + dir +
            R"('
w, h = 37, 23
rgba = Image.new('RGBA', (w, h))
rgba.putdata([((x * 7) % 256, (y * 11) % 256, (x * y) % 256, (x * 9 + y * 5) % 256)
              for y in range(h) for x in range(w)])
samples = {
  'rgba': rgba,
  'rgb': rgba.convert('RGB'),
  'grey': rgba.convert('L'),
  'grey-alpha': rgba.convert('LA'),
  'mono': rgba.convert('1'),
  'palette': rgba.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=200),
  'palette-4bit': rgba.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=16),
}
pt = rgba.convert('RGB').convert('P', palette=Image.ADAPTIVE, colors=64)
pt.info['transparency'] = bytes([(i * 4) % 256 for i in range(64)])
samples['palette-alpha'] = pt
for name, im in samples.items():
  if name == 'palette-4bit':
    im.save(d + '/' + name + '.png', bits=4)
  elif name == 'palette-alpha':
    im.save(d + '/' + name + '.png', transparency=pt.info['transparency'])
  else:
    im.save(d + '/' + name + '.png')
  Image.open(d + '/' + name + '.png').convert('RGBA').save(d + '/' + name + '.ref.png')
  open(d + '/' + name + '.rgba', 'wb').write(Image.open(d + '/' + name + '.png').convert('RGBA').tobytes())
print('ok')
)");
  if (HaveImageMagick()) {
    const std::string src = folder.File("rgba.ref.png");
    RunCommand(std::string(kConvert) + " '" + src + "' -interlace PNG '" + folder.File("interlaced.png") +
               "'");
    RunCommand(std::string(kConvert) + " '" + src + "' -depth 16 'PNG64:" + folder.File("deep.png") + "'");
    for (const char* name : {"interlaced", "deep"})
      RunCommand(std::string(kConvert) + " '" + folder.File(std::string(name) + ".png") +
                 "' -depth 8 'RGBA:" + folder.File(std::string(name) + ".rgba") + "'");
  }
  return folder;
}

struct Decoded {
  TPNGReader::Result result;
  std::vector<uint8_t> bgra;  // top-down rows
  ~Decoded() {
    if (result.Handle != nullptr) DeleteObject(result.Handle);
  }
};

void Decode(const std::vector<uint8_t>& bytes, Decoded& out) {
  out.result = TPNGReader::Decode(bytes.data(), static_cast<int64_t>(bytes.size()), TPNGReader::poStraight32,
                                  kInvalid);
  int stride = 0;
  const auto* top = static_cast<const uint8_t*>(BitmapPixels(out.result.Handle, &stride));
  for (int y = 0; y < out.result.Height; ++y)
    out.bgra.insert(out.bgra.end(), top + y * stride, top + y * stride + out.result.Width * 4);
}

// Pixels whose channels differ by more than the tolerance.
int Mismatches(const std::vector<uint8_t>& bgra, const std::vector<uint8_t>& rgba, int tolerance) {
  if (bgra.size() != rgba.size()) return -1;
  int bad = 0;
  for (size_t i = 0; i < bgra.size(); i += 4) {
    const int diffs[4] = {bgra[i + 2] - rgba[i], bgra[i + 1] - rgba[i + 1], bgra[i] - rgba[i + 2],
                          bgra[i + 3] - rgba[i + 3]};
    for (int d : diffs)
      if (std::abs(d) > tolerance) {
        ++bad;
        break;
      }
  }
  return bad;
}

TEST(PngReader, EveryColourTypeMatchesTheEncodersReading) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  const ScratchFolder& folder = Samples();
  int compared = 0;
  for (const char* name : {"rgba", "rgb", "grey", "grey-alpha", "mono", "palette", "palette-4bit",
                           "palette-alpha", "interlaced", "deep"}) {
    SCOPED_TRACE(name);
    const auto png = ReadFileBytes(folder.File(std::string(name) + ".png"));
    const auto reference = ReadFileBytes(folder.File(std::string(name) + ".rgba"));
    if (png.empty() || reference.empty()) continue;  // ImageMagick missing
    Decoded decoded;
    Decode(png, decoded);
    EXPECT_EQ(decoded.result.Width, 37);
    EXPECT_EQ(decoded.result.Height, 23);
    // 16-bit samples: the high byte against ImageMagick's rounding.
    EXPECT_EQ(Mismatches(decoded.bgra, reference, std::string(name) == "deep" ? 1 : 0), 0);
    const bool alpha = std::string(name).find("alpha") != std::string::npos || std::string(name) == "rgba" ||
                       std::string(name) == "interlaced" || std::string(name) == "deep";
    EXPECT_EQ(decoded.result.HasAlpha, alpha);
    ++compared;
  }
  EXPECT_GE(compared, 8);
}

TEST(PngImage, TransparentPicturesBlendOverWhatLiesBelow) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  const ScratchFolder& folder = Samples();
  for (const char* name : {"rgba", "grey-alpha", "palette-alpha", "palette", "mono", "rgb"}) {
    SCOPED_TRACE(name);
    TPicture picture;
    picture.ReadFromFile(folder.File(std::string(name) + ".png"));
    auto* image = dynamic_cast<TPNGImage*>(picture.Graphic());
    ASSERT_NE(image, nullptr);
    const auto reference = ReadFileBytes(folder.File(std::string(name) + ".rgba"));
    for (TColor background : {clWhite, TColor(0x336699)}) {
      EXPECT_EQ(BlendMismatches(DrawOver(*image, background), reference, background), 0);
    }
  }
}

TEST(PngImage, PaletteAndGreyPicturesKeepOneIndexPerPixel) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  const ScratchFolder& folder = Samples();
  const std::pair<const char*, TPixelFormat> cases[] = {
      {"mono", pf1bit}, {"palette-4bit", pf4bit}, {"palette", pf8bit}, {"grey", pf8bit}, {"rgb", pf32bit}};
  for (const auto& [name, format] : cases) {
    SCOPED_TRACE(name);
    TPNGImage image;
    image.ReadFromFile(folder.File(std::string(name) + ".png"));
    EXPECT_EQ(image.Bitmap()->PixelFormat(), format);
  }
}

// A small opaque picture, written by hand so that the test does not need an encoder: 3 x 2 RGB
// pixels in one stored (uncompressed) deflate block. Larger sizes hold the first two rows only;
// interlaced, the first two rows of the first pass (every eighth pixel of rows 0 and 8).
std::vector<uint8_t> HandMadePng(uint32_t width, uint32_t height, bool interlaced = false) {
  const uint32_t row_pixels = interlaced ? (width + 7) / 8 : width;
  const uint32_t rows = interlaced ? (height + 7) / 8 : height;
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < std::min<uint32_t>(rows, 2); ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < row_pixels * 3; ++x) raw.push_back(static_cast<uint8_t>(x * 40 + y * 100));
  }
  std::vector<uint8_t> z = {0x78, 0x01, 0x01};
  z.push_back(static_cast<uint8_t>(raw.size()));
  z.push_back(static_cast<uint8_t>(raw.size() >> 8));
  z.push_back(static_cast<uint8_t>(~raw.size()));
  z.push_back(static_cast<uint8_t>(~raw.size() >> 8));
  z.insert(z.end(), raw.begin(), raw.end());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  const uint32_t adler = (b << 16) | a;
  for (int i = 3; i >= 0; --i) z.push_back(static_cast<uint8_t>(adler >> (8 * i)));

  auto crc = [](const std::vector<uint8_t>& data, size_t from) {
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = from; i < data.size(); ++i) {
      c ^= data[i];
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
  };
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    for (int i = 3; i >= 0; --i) png.push_back(static_cast<uint8_t>(data.size() >> (8 * i)));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t c = crc(png, start);
    for (int i = 3; i >= 0; --i) png.push_back(static_cast<uint8_t>(c >> (8 * i)));
  };
  std::vector<uint8_t> ihdr;
  for (uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<uint8_t>(v >> (8 * i)));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, static_cast<uint8_t>(interlaced ? 1 : 0)});
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

TEST(PngReader, CutShortFilesKeepTheRowsTheyHoldAndNeverReadPastTheData) {
  const std::vector<uint8_t> png = HandMadePng(3, 2);
  Decoded whole;
  Decode(png, whole);
  ASSERT_EQ(whole.result.Width, 3);
  EXPECT_EQ(whole.bgra[2], 0);            // red of (0, 0)
  EXPECT_EQ(whole.bgra[4 * 3 + 2], 100);  // red of (0, 1)
  int decoded = 0;
  int refused = 0;
  for (size_t length = 0; length < png.size(); ++length) {
    // An exact-size copy, so that a read past the data shows under the address sanitizer.
    std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length));
    try {
      Decoded part;
      Decode(cut, part);
      ++decoded;
      EXPECT_EQ(part.result.Width, 3);
      // The first row is whole; the second is either whole or left zero.
      EXPECT_EQ(std::memcmp(part.bgra.data(), whole.bgra.data(), 12), 0);
      const bool second_whole = std::memcmp(part.bgra.data() + 12, whole.bgra.data() + 12, 12) == 0;
      const bool second_empty =
          std::all_of(part.bgra.begin() + 12, part.bgra.end(), [](uint8_t v) { return v == 0; });
      EXPECT_TRUE(second_whole || second_empty) << length;
    } catch (const EInvalidGraphic& e) {
      ++refused;
      EXPECT_STREQ(e.Message.c_str(), kInvalid);
    }
  }
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused, 0);
}

TEST(PngReader, DamagedBytesEndInTheReadersErrorOrAPicture) {
  const std::vector<uint8_t> png = HandMadePng(3, 2);
  for (size_t at = 8; at < png.size(); ++at)
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> bad = png;
      bad[at] ^= flip;
      try {
        Decoded d;
        Decode(bad, d);
        EXPECT_GT(d.result.Width, 0);
      } catch (const EInvalidGraphic&) {
      } catch (const EOutOfResources&) {
      }
    }
}

TEST(PngReader, PicturesOverThePixelLimitAreRefusedBeforeAnyMemoryIsTaken) {
  // 65535 x 65535 is over the limit; the IDAT holds two rows only.
  const std::vector<uint8_t> huge = HandMadePng(65535, 65535);
  EXPECT_THROW(TPNGReader::Decode(huge.data(), int64_t(huge.size()), TPNGReader::poCompact, kInvalid),
               EInvalidGraphic);
  // 3 x 10000 is within it: the rows the data holds are decoded, the rest stay zero.
  const std::vector<uint8_t> tall = HandMadePng(3, 10000);
  Decoded d;
  Decode(tall, d);
  EXPECT_EQ(d.result.Height, 10000);
  EXPECT_EQ(d.bgra[4 * 3 + 2], 100);
  EXPECT_EQ(d.bgra.back(), 0);
}

TEST(PngReader, AnInterlacedFileCutInItsFirstPassKeepsWhatItReachedAndShowsThroughElsewhere) {
  // 3 x 10000, interlaced: the data holds pixel 0 of rows 0 and 8, then ends.
  const std::vector<uint8_t> tall = HandMadePng(3, 10000, true);
  Decoded d;
  Decode(tall, d);
  EXPECT_EQ(d.result.Height, 10000);
  EXPECT_EQ(d.bgra[0], 80);  // (0, 0): blue, green, red, alpha
  EXPECT_EQ(d.bgra[1], 40);
  EXPECT_EQ(d.bgra[2], 0);
  EXPECT_EQ(d.bgra[3], 255);
  EXPECT_EQ(d.bgra[8 * 12 + 2], 100);  // red of (0, 8)
  EXPECT_EQ(d.bgra[4 + 3], 0);         // (1, 0) belongs to a later pass: not reached
  EXPECT_EQ(d.bgra.back(), 0);
  // The pixels no pass reached are transparent, so the picture is drawn blended.
  EXPECT_TRUE(d.result.HasAlpha);
}

TEST(PngImage, RegisteredForTheExtensionAndKeepsThePreviousPictureOnFailure) {
  ScratchFolder folder;
  const std::vector<uint8_t> png = HandMadePng(3, 2);
  std::ofstream(folder.File("A.PNG"), std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), png.size());
  std::ofstream(folder.File("bad.png")) << "not a picture";
  TPicture picture;
  picture.ReadFromFile(folder.File("A.PNG"));
  ASSERT_NE(dynamic_cast<TPNGImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.ImageWidth(), 3);
  EXPECT_EQ(picture.ImageHeight(), 2);
  EXPECT_THROW(picture.ReadFromFile(folder.File("bad.png")), EInvalidGraphic);
  EXPECT_EQ(picture.ImageWidth(), 3);
  TBitmap copy;
  copy.AssignFrom(picture.Graphic());
  EXPECT_EQ(PixelAt(copy, 1, 0), ColorOf(120, 160, 200));
}

}  // namespace
}  // namespace lumivane::test
