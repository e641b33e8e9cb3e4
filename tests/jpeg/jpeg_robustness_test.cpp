// Damaged and third-party files: every one decodes, decodes partly, or fails with EJPEG; none
// crashes or reads outside its buffers (run under the sanitizer build too).
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <jerror.h>
#include <jpeglib.h>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "jpeg_test_images.h"
#include "picture/bitmap.h"
#include "picture/jpeg_image.h"

namespace lumivane {
namespace {

enum class Outcome { Decoded, FailedAtLoad, FailedAtDecode };

// Loads and decodes; only the program's own picture errors are acceptable failures.
Outcome LoadAndDecode(const std::vector<uint8_t>& bytes, bool showProgressive = false) {
  TJPEGImage image;
  image.ShowProgressive = showProgressive;
  auto stream = StreamOf(bytes);
  try {
    image.ReadFromStream(*stream);
  } catch (const EJPEG&) {
    return Outcome::FailedAtLoad;
  }
  try {
    const int width = image.ImageWidth();  // upright, from the header
    TBitmap* bitmap = image.DecodeBitmap();
    EXPECT_EQ(bitmap->ImageWidth(), width);
    return Outcome::Decoded;
  } catch (const EJPEG&) {
    return Outcome::FailedAtDecode;
  } catch (const EOutOfResources&) {  // a picture too big for memory
    return Outcome::FailedAtDecode;
  }
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Offset of the first start-of-scan marker (the header ends there).
size_t FirstScanMarker(const std::vector<uint8_t>& bytes) {
  for (size_t i = 2; i + 3 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) return i;
  return bytes.size();
}

TEST(JpegRobustness, EveryTruncationOfAValidFileDecodesOrFailsCleanly) {
  for (bool progressive : {false, true}) {
    JpegOptions options;
    options.Width = 40;
    options.Height = 24;
    options.Progressive = progressive;
    std::vector<uint8_t> bytes = MakeJpeg(options);
    const size_t scanMarker = FirstScanMarker(bytes);
    const size_t scanData = scanMarker + 2 + (bytes[scanMarker + 2] << 8 | bytes[scanMarker + 3]);
    int decoded = 0;
    for (size_t keep = 0; keep < bytes.size(); ++keep) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + keep);
      Outcome outcome = LoadAndDecode(cut, progressive && keep % 2 == 0);
      decoded += outcome == Outcome::Decoded;
      if (keep == 0) {
        // An empty file loads and fails when its pixels are needed.
        EXPECT_EQ(outcome, Outcome::FailedAtDecode);
      } else if (keep <= scanMarker) {
        // Without a complete header there is no picture to load.
        EXPECT_EQ(outcome, Outcome::FailedAtLoad) << keep;
      } else if (!progressive && keep >= scanData) {
        // A sequential file cut in its scan data decodes (the missing data is supplied).
        EXPECT_EQ(outcome, Outcome::Decoded) << keep;
      }
    }
    EXPECT_GT(decoded, progressive ? 10 : int(bytes.size() - scanData) - 1);
  }
}

TEST(JpegRobustness, CorruptedBytesNeverCrash) {
  JpegOptions options;
  options.Width = 48;
  options.Height = 32;
  options.RestartRows = 1;
  for (bool progressive : {false, true}) {
    options.Progressive = progressive;
    std::vector<uint8_t> bytes = MakeJpeg(options);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> damaged = bytes;
      int flips = 1 + round % 4;
      for (int i = 0; i < flips; ++i) damaged[(next() >> 8) % damaged.size()] = next() >> 16;
      failures += LoadAndDecode(damaged, round % 3 == 0) != Outcome::Decoded;
    }
    // Damaged entropy-coded data mostly still decodes; only damaged headers fail.
    EXPECT_LT(failures, 400);
  }
}

// The file with the size in its frame header replaced.
std::vector<uint8_t> DeclaringSize(std::vector<uint8_t> bytes, int width, int height) {
  for (size_t i = 2; i + 8 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = uint8_t(height >> 8);
      bytes[i + 6] = uint8_t(height);
      bytes[i + 7] = uint8_t(width >> 8);
      bytes[i + 8] = uint8_t(width);
      break;
    }
  return bytes;
}

TEST(JpegRobustness, HeadersClaimingMoreThanTheFileHoldsAreRefusedAtLoad) {
  JpegOptions options;
  options.Width = 64;
  options.Height = 48;
  for (bool progressive : {false, true}) {
    options.Progressive = progressive;
    std::vector<uint8_t> bytes = MakeJpeg(options);
    for (auto [width, height] : {std::pair{20000, 20000}, {65500, 65500}, {16000, 16000}, {8000, 5000}}) {
      TJPEGImage image;
      auto stream = StreamOf(DeclaringSize(bytes, width, height));
      try {
        image.ReadFromStream(*stream);
        ADD_FAILURE() << width << " x " << height << " loaded";
      } catch (const EJPEG& e) {
        EXPECT_EQ(e.Message, "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
      }
      EXPECT_FALSE(image.HasDecodedBitmap());
    }
  }
}

TEST(JpegRobustness, AFileCutShortKeepsItsRowsAndShowsGreyBelow) {
  // The data of a 64 x 48 picture under a header of 1000 x 600: the top rows are the picture,
  // the rest is what libjpeg makes of missing data.
  JpegOptions options;
  options.Width = 64;
  options.Height = 48;
  std::vector<uint8_t> bytes = DeclaringSize(MakeJpeg(options), 1000, 600);
  TJPEGImage image;
  auto stream = StreamOf(bytes);
  image.ReadFromStream(*stream);
  TBitmap* bitmap = image.DecodeBitmap();
  ASSERT_EQ(bitmap->ImageWidth(), 1000);
  ASSERT_EQ(bitmap->ImageHeight(), 600);
  Rgb top = PixelOf(*bitmap, 0, 0);
  Rgb want = PatternColour(0, 0, 64, 48);
  EXPECT_NEAR(top.G, want.G, 16);
  EXPECT_NEAR(top.B, want.B, 16);
  Rgb bottom = PixelOf(*bitmap, 999, 599);
  EXPECT_EQ(bottom.R, 128);
  EXPECT_EQ(bottom.G, 128);
  EXPECT_EQ(bottom.B, 128);
}

// A progressive file with one scan per coefficient band and component (190 scans).
std::vector<uint8_t> ManyScanJpeg() {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = 32;
  info.image_height = 32;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  std::vector<jpeg_scan_info> scans;
  scans.push_back(jpeg_scan_info{3, {0, 1, 2, 0}, 0, 0, 0, 0});
  for (int component = 0; component < 3; ++component)
    for (int k = 1; k < 64; ++k) scans.push_back(jpeg_scan_info{1, {component, 0, 0, 0}, k, k, 0, 0});
  info.scan_info = scans.data();
  info.num_scans = static_cast<int>(scans.size());
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(32 * 3, 0x80);
  for (int y = 0; y < 32; ++y) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

TEST(JpegRobustness, AProgressiveFileWithHundredsOfScansIsRefused) {
  TJPEGImage image;
  auto stream = StreamOf(ManyScanJpeg());
  image.ReadFromStream(*stream);  // the header is sound
  EXPECT_THROW(image.DecodeBitmap(), EJPEG);
  // An ordinary progressive file (ten scans) decodes.
  JpegOptions options;
  options.Progressive = true;
  EXPECT_EQ(LoadAndDecode(MakeJpeg(options)), Outcome::Decoded);
}

TEST(JpegRobustness, CorpusFilesDecodeOrFailCleanly) {
  std::string dir = CorpusDir("jpeg");
  if (dir.empty()) GTEST_SKIP() << "the shared corpora are not here";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::vector<uint8_t> bytes = ReadFile(entry.path());
    Outcome outcome = LoadAndDecode(bytes);
    std::string name = entry.path().filename().string();
    // Files known to be sound must decode.
    if (name == "testorig.jpg" || name == "testimgint.jpg" || name == "testimgari.jpg" ||
        name == "dpi.jpeg" || name == "icc-profile.jpeg" || name == "sample.jpg" ||
        name == "test-images__reftests__cat.jpg" || name == "bug143608-comment.jpg") {
      EXPECT_EQ(outcome, Outcome::Decoded) << name;
    }
    // A camera's orientation (stored as a signed LONG here) turns the picture upright.
    if (name == "bug725582-testrotate.jpg") {
      TJPEGImage image;
      auto stream = StreamOf(bytes);
      image.ReadFromStream(*stream);
      EXPECT_EQ(image.ImageWidth(), 428);
      EXPECT_EQ(image.ImageHeight(), 640);
    }
    // A header of 64250 x 64250 in 1.4 KB.
    if (name == "issue205.jpg") {
      EXPECT_EQ(outcome, Outcome::FailedAtLoad) << name;
    }
    // A 12-bit file is beyond an 8-bit library: refused at load.
    if (name == "monkey12.jpg") {
      EXPECT_EQ(outcome, Outcome::FailedAtLoad) << name;
    }
    // The same files scan by scan.
    LoadAndDecode(bytes, true);
  }
  EXPECT_GT(files, 0);
}

TEST(JpegRobustness, CorpusFileMatchesItsReferenceRendering) {
  std::string dir = CorpusDir("jpeg");
  std::filesystem::path file = std::filesystem::path(dir) / "gdk-pixbuf" / "test-images__reftests__cat.jpg";
  std::filesystem::path reference = std::filesystem::path(dir).parent_path() / "expected" / "jpeg" /
                                    "gdk-pixbuf" / "test-images__reftests__cat.jpg.ref.png";
  if (dir.empty() || !std::filesystem::exists(file) || !std::filesystem::exists(reference))
    GTEST_SKIP() << "the shared corpora are not here";
  QImage expected(QString::fromStdString(reference.string()));
  ASSERT_FALSE(expected.isNull());
  TJPEGImage image;
  auto stream = StreamOf(ReadFile(file));
  image.ReadFromStream(*stream);
  ASSERT_EQ(image.ImageWidth(), expected.width());
  ASSERT_EQ(image.ImageHeight(), expected.height());
  TBitmap* bitmap = image.DecodeBitmap();
  ASSERT_EQ(bitmap->PixelFormat(), pf8bit);  // a grayscale file
  // Quantized to 236 levels with dithering: close on average, never far off.
  double total = 0;
  int worst = 0;
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x) {
      int want = qGray(expected.pixel(x, y));
      int got = PixelOf(*bitmap, x, y).G;
      total += std::abs(got - want);
      worst = std::max(worst, std::abs(got - want));
    }
  EXPECT_LT(total / (expected.width() * expected.height()), 1.5);
  EXPECT_LE(worst, 8);
}

}  // namespace
}  // namespace lumivane
