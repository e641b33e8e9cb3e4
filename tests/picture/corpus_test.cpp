// Conformance over the third-party bitmap and icon files: valid files decode to the reference
// renderings (shipped PNGs, or the ImageMagick oracle at test time), and invalid or odd files
// either decode or fail with one of the reader's own errors. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "bmp_builder.h"
#include "encoder_oracle.h"
#include "framework/exception.h"
#include "framework/file_stream.h"
#include "picture/bitmap.h"
#include "picture/icon.h"
#include "picture/icon_file.h"

namespace lumivane::test {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = LUMIVANE_CORPORA_DIR;

struct CorpusFile {
  std::string path;  // relative to the corpus
  std::string validity;
};

std::vector<CorpusFile> Manifest(const std::string& format) {
  std::vector<CorpusFile> files;
  std::ifstream in(kCorpus / "MANIFEST.tsv");
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, '\t')) fields.push_back(field);
    if (fields.size() >= 5 && fields[0].rfind(format + "/", 0) == 0) files.push_back({fields[0], fields[4]});
  }
  return files;
}

// A reference rendering as RGBA rows; empty when none can be had.
struct Reference {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  bool Valid() const { return width > 0 && rgba.size() == size_t(width) * height * 4; }
};

Reference FromPng(const fs::path& png) {
  Reference r;
  QImage image(QString::fromStdString(png.string()));
  if (image.isNull()) return r;
  image = image.convertToFormat(QImage::Format_RGBA8888);
  r.width = image.width();
  r.height = image.height();
  for (int y = 0; y < r.height; ++y) {
    const uchar* row = image.constScanLine(y);
    r.rgba.insert(r.rgba.end(), row, row + 4 * r.width);
  }
  return r;
}

Reference FromOracle(const fs::path& file, int frame) {
  Reference r;
  const fs::path oracle = kCorpus / "oracles" / "oracle.sh";
  if (!fs::exists(oracle) || !HaveImageMagick()) return r;
  const std::string args = " '" + file.string() + "' " + std::to_string(frame) + " 2>/dev/null";
  std::istringstream info(RunCommand(oracle.string() + " -i" + args));
  if (!(info >> r.width >> r.height)) return Reference{};
  const std::string pixels = RunCommand(oracle.string() + args);
  r.rgba.assign(pixels.begin(), pixels.end());
  return r;
}

Reference ReferenceFor(const CorpusFile& file, int frame) {
  for (const fs::path& png :
       {kCorpus / "expected" / (file.path + ".png"), kCorpus / "expected" / (file.path + ".ref.png")})
    if (fs::exists(png)) return FromPng(png);
  const std::string name = fs::path(file.path).filename().string();
  const fs::path flat = kCorpus / "expected" / fs::path(file.path).parent_path() / (name + ".ref.png");
  if (fs::exists(flat)) return FromPng(flat);
  return FromOracle(kCorpus / file.path, frame);
}

// Opaque reference pixels that differ from the decoded colour by more than the tolerance.
int CountMismatches(const Reference& ref, const std::function<uint32_t(int, int)>& decoded, int tolerance) {
  int bad = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      const uint8_t* p = &ref.rgba[(size_t(y) * ref.width + x) * 4];
      if (p[3] != 255) continue;
      const uint32_t c = decoded(x, y);
      if (std::abs(int(c & 0xFF) - p[0]) > tolerance || std::abs(int(c >> 8 & 0xFF) - p[1]) > tolerance ||
          std::abs(int(c >> 16 & 0xFF) - p[2]) > tolerance)
        ++bad;
    }
  return bad;
}

// Visible reference pixels (straight alpha) composed over a uniform background that differ from
// the drawn colour by more than the tolerance.
int CountBlendMismatches(const Reference& ref, const std::function<uint32_t(int, int)>& drawn,
                         uint32_t background, int tolerance) {
  int bad = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      const uint8_t* p = &ref.rgba[(size_t(y) * ref.width + x) * 4];
      if (p[3] == 0) continue;  // masked pixels may invert what lies below
      const uint32_t c = drawn(x, y);
      for (int k = 0; k < 3; ++k) {
        const int under = (background >> (8 * k)) & 0xFF;
        const int expected = (p[k] * p[3] + under * (255 - p[3]) + 127) / 255;
        if (std::abs(int(c >> (8 * k) & 0xFF) - expected) > tolerance) {
          ++bad;
          break;
        }
      }
    }
  return bad;
}

// Files whose reference rendering shows something this reader deliberately does not do.
const std::map<std::string, std::string> kKnownDifferences = {
    {"pal8nonsquare.bmp", "the reference is scaled by the pixel density; pixels are shown 1:1"},
    {"sample.cur", "cursor files (type 2) are refused"},
};

template <typename F>
std::string Outcome(F&& decode) {
  try {
    decode();
    return "";
  } catch (const EInvalidGraphic& e) {
    return std::string("EInvalidGraphic: ") + e.Message;
  } catch (const EReadError& e) {
    return std::string("EReadError: ") + e.Message;
  } catch (const EOSError& e) {
    return std::string("EOSError: ") + e.Message;
  } catch (const EOutOfResources& e) {
    return std::string("EOutOfResources: ") + e.Message;
  }
}

TEST(Corpus, BitmapFiles) {
  const auto files = Manifest("bmp");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  int compared = 0;
  std::vector<std::string> problems;
  for (const CorpusFile& file : files) {
    SCOPED_TRACE(file.path);
    TBitmap bitmap;
    const std::string error = Outcome([&] {
      TFileStream stream((kCorpus / file.path).string(), fmOpenRead);
      bitmap.ReadFromStream(stream);
    });
    if (file.validity != "valid") continue;  // decoding or a clean error are both fine
    if (!error.empty()) {
      if (!kKnownDifferences.count(fs::path(file.path).filename().string()))
        problems.push_back(file.path + ": " + error);
      continue;
    }
    const Reference ref = ReferenceFor(file, 0);
    if (!ref.Valid()) continue;
    if (kKnownDifferences.count(fs::path(file.path).filename().string())) continue;
    ++compared;
    if (ref.width != bitmap.ImageWidth() || ref.height != bitmap.ImageHeight()) {
      problems.push_back(file.path + ": size differs");
      continue;
    }
    const int bad = CountMismatches(
        ref, [&](int x, int y) { return PixelAt(bitmap, x, y); }, 3);
    if (bad > 0 && !kKnownDifferences.count(fs::path(file.path).filename().string()))
      problems.push_back(file.path + ": " + std::to_string(bad) + " pixels differ");
  }
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_GT(compared, 20);
}

TEST(Corpus, IconFiles) {
  const auto files = Manifest("ico");
  if (files.empty()) GTEST_SKIP() << "no corpus at " << kCorpus;
  int compared = 0;
  std::vector<std::string> problems;
  for (const CorpusFile& file : files) {
    SCOPED_TRACE(file.path);
    TIcon icon;
    TBitmap on_black;
    TBitmap on_white;
    const std::string error = Outcome([&] {
      TFileStream stream((kCorpus / file.path).string(), fmOpenRead);
      icon.ReadFromStream(stream);
      icon.IconHandle();
      const int w = icon.ImageWidth();
      const int h = icon.ImageHeight();
      for (TBitmap* target : {&on_black, &on_white}) {
        target->SetPixelFormat(pf32bit);
        target->SetSize(w, h);
        target->Canvas().Brush().SetColor(target == &on_black ? clBlack : clWhite);
        target->Canvas().FillRect(Rect(0, 0, w, h));
        icon.DrawInto(target->Canvas(), Rect(0, 0, w, h));
      }
    });
    if (file.validity != "valid") continue;
    if (!error.empty()) {
      if (!kKnownDifferences.count(fs::path(file.path).filename().string()))
        problems.push_back(file.path + ": " + error);
      continue;
    }
    // The oracle renders directory entries in file order: take the one the icon chose.
    QFile raw(QString::fromStdString((kCorpus / file.path).string()));
    raw.open(QIODevice::ReadOnly);
    const QByteArray bytes = raw.readAll();
    TIconFile directory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (directory.Type() != 1) continue;
    const int chosen = directory.ChooseEntry(32, 32, INT_MAX);
    const Reference ref = FromOracle(kCorpus / file.path, chosen);
    if (!ref.Valid()) continue;
    if (ref.width != icon.ImageWidth() || ref.height != icon.ImageHeight()) {
      problems.push_back(file.path + ": size differs");
      continue;
    }
    ++compared;
    const int bad_black = CountBlendMismatches(
        ref, [&](int x, int y) { return PixelAt(on_black, x, y); }, 0x000000, 3);
    const int bad_white = CountBlendMismatches(
        ref, [&](int x, int y) { return PixelAt(on_white, x, y); }, 0xFFFFFF, 3);
    if ((bad_black > 0 || bad_white > 0) && !kKnownDifferences.count(fs::path(file.path).filename().string()))
      problems.push_back(file.path + ": " + std::to_string(bad_black) + "/" + std::to_string(bad_white) +
                         " pixels differ");
  }
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_GT(compared, 5);
}

}  // namespace
}  // namespace lumivane::test
