// Damaged and third-party files: every one decodes, decodes partly, or fails with EJPEG; none
// crashes or reads outside its buffers (run under the sanitizer build too).
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
    TBitmap* bitmap = image.DecodeBitmap();
    EXPECT_EQ(bitmap->ImageWidth(), image.Data().HeaderWidth);
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
