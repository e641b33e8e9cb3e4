// The third-party GIF corpus: first frames of valid files against reference renderings, and
// every file read or refused cleanly. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "framework/stream.h"

#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/memory_stream.h"
#include "gif/dib_stream.h"
#include "gif/gif_animator.h"
#include "gif/stretch_transparent.h"
#include "gif_test_data.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct CorpusFile {
  std::string path;  // relative to the corpus folder
  std::string validity;
};

std::vector<CorpusFile> GifManifest(const std::string& dir) {
  std::vector<CorpusFile> files;
  std::ifstream in(dir + "/MANIFEST.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("gif/", 0) != 0) continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, '\t');) fields.push_back(f);
    if (fields.size() >= 5) files.push_back({fields[0], fields[4]});
  }
  return files;
}

// A reference rendering of the composed first frame: RGBA, top-down.
struct Reference {
  int width = 0;
  int height = 0;
  int frames = 0;  // number of composed frames when the reference says so, else 0
  Bytes rgba;
};

// gdk-pixbuf's suite: NAME.conf names the frame-0 pixel file and the screen size.
bool ReadConfReference(const std::string& confPath, const std::string& dir, Reference& ref) {
  std::ifstream in(confPath);
  if (!in) return false;
  std::string line, section, pixels;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') section = line;
    const auto eq = line.find(" = ");
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 3);
    if (key == "width") ref.width = std::stoi(value);
    if (key == "height") ref.height = std::stoi(value);
    if (key == "pixels" && section == "[frame0]") pixels = value;
    if (key == "frames") ref.frames = 1 + static_cast<int>(std::count(value.begin(), value.end(), ','));
  }
  if (pixels.empty()) return false;
  ref.rgba = test::ReadFileBytes(dir + "/" + pixels);
  return ref.rgba.size() == static_cast<size_t>(ref.width) * ref.height * 4;
}

bool ReadPngReference(const std::string& path, Reference& ref) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_RGBA8888);
  ref.width = image.width();
  ref.height = image.height();
  for (int y = 0; y < ref.height; ++y) {
    const uchar* row = image.constScanLine(y);
    ref.rgba.insert(ref.rgba.end(), row, row + ref.width * 4);
  }
  return true;
}

// The frames an oracle script composes: RGBA, top-down, one per frame; empty when it fails.
struct OracleFrames {
  int width = 0;
  int height = 0;
  std::vector<Bytes> frames;
};

OracleFrames RunOracle(const std::string& program, const std::string& path, const fs::path& out) {
  OracleFrames result;
  fs::remove_all(out);
  const std::string command = program + " -a '" + out.string() + "' '" + path + "' 2>/dev/null >/dev/null";
  if (std::system(command.c_str()) != 0) return result;
  std::ifstream info(out / "info.tsv");
  for (int n, w, h; info >> n >> w >> h;) {
    Bytes rgba = test::ReadFileBytes((out / ("frame-" + std::to_string(n) + ".rgba")).string());
    if (rgba.size() != static_cast<size_t>(w) * h * 4) return OracleFrames{};
    if (n == 0) result.width = w, result.height = h;
    if (w != result.width || h != result.height) return OracleFrames{};
    result.frames.push_back(std::move(rgba));
  }
  return result;
}

// ImageMagick's composed frame 0, from one run of the oracle over all frames.
bool ReadOracleReference(const std::string& dir, const std::string& gif, const fs::path& scratch,
                         Reference& ref) {
  if (!fs::exists("/usr/bin/convert-im6.q16")) return false;
  OracleFrames oracle = RunOracle("bash '" + dir + "/oracles/oracle.sh'", gif, scratch);
  if (oracle.frames.empty()) return false;
  ref.width = oracle.width;
  ref.height = oracle.height;
  ref.rgba = std::move(oracle.frames[0]);
  return true;
}

bool FindReference(const std::string& dir, const std::string& relative, const fs::path& scratch,
                   Reference& ref) {
  const fs::path file(relative);
  const std::string suite = file.parent_path().filename().string();
  const std::string stem = file.stem().string();
  const std::string expected = dir + "/expected/gif/" + suite;
  if (suite == "gdk-pixbuf-gif-test-suite")
    return ReadConfReference(expected + "/" + stem + ".conf", expected, ref);
  if (fs::exists(expected + "/" + stem + "-0.png"))
    return ReadPngReference(expected + "/" + stem + "-0.png", ref);
  return ReadOracleReference(dir, dir + "/" + relative, scratch, ref);
}

// Mismatching opaque pixels of frame 0 (at its place on the screen) against the reference.
int CompareFirstFrame(TGIFImage& image, const Reference& ref) {
  TGIFFrame& frame = *image.FrameAt(0);
  const std::vector<uint32_t> colors = test::BitmapColors(frame.FrameBitmap());
  const int w = frame.FrameWidth();
  const uint32_t transparent = frame.TransparentColor == clNone ? 0xFFFFFFFFu
                                                                : ((frame.TransparentColor & 0xFF) << 16) |
                                                                      (frame.TransparentColor & 0xFF00) |
                                                                      ((frame.TransparentColor >> 16) & 0xFF);
  int mismatches = 0;
  for (size_t i = 0; i < colors.size(); ++i) {
    const int sx = frame.Origin.X + static_cast<int>(i) % w;
    const int sy = frame.Origin.Y + static_cast<int>(i) / w;
    if (sx >= ref.width || sy >= ref.height || colors[i] == transparent) continue;
    const uint8_t* p = &ref.rgba[(static_cast<size_t>(sy) * ref.width + sx) * 4];
    if (p[3] != 255) continue;
    if (colors[i] != static_cast<uint32_t>((p[0] << 16) | (p[1] << 8) | p[2])) ++mismatches;
  }
  return mismatches;
}

enum class Outcome { Loaded, Refused };

Outcome Load(const std::string& path, std::unique_ptr<TGIFImage>& image, std::string& error) {
  image = std::make_unique<TGIFImage>();
  TMemoryStream stream;
  stream.Assign(test::ReadFileBytes(path));
  try {
    image->ReadFromStream(stream);
    return Outcome::Loaded;
  } catch (const Exception& e) {
    error = std::string(e.ClassName()) + ": " + e.what();
    return Outcome::Refused;
  }
}

TEST(GifCorpusTest, ValidFilesMatchReferencesAndOthersFailCleanly) {
  const std::string dir = test::CorporaDir();
  if (dir.empty()) GTEST_SKIP() << "no corpus";
  const std::vector<CorpusFile> files = GifManifest(dir);
  ASSERT_FALSE(files.empty());
  const fs::path scratch = fs::temp_directory_path() / ("gif_references_" + std::to_string(::getpid()));
  int compared = 0;
  int different = 0;
  for (const CorpusFile& file : files) {
    SCOPED_TRACE(file.path);
    std::unique_ptr<TGIFImage> image;
    std::string error;
    const Outcome outcome = Load(dir + "/" + file.path, image, error);
    if (file.validity != "valid") continue;  // read or refused: either is clean
    ASSERT_EQ(outcome, Outcome::Loaded) << error;
    ASSERT_GT(image->FrameCount(), 0);
    for (int i = 0; i < image->FrameCount(); ++i)  // every frame decodes to its part on the screen
      EXPECT_EQ(image->FrameAt(i)->FrameWidth(), FrameClip(*image->FrameAt(i)).Width);
    Reference ref;
    if (!FindReference(dir, file.path, scratch, ref)) continue;
    TGIFFrame& first = *image->FrameAt(0);
    // Known differences by rule: a code size outside 2..11 marks the frame corrupt and stops
    // decoding.
    if (first.FrameBitmap().IsEmpty() || first.DataCorrupt) {
      ++different;
      std::cout << "known difference: " << file.path << "\n";
      continue;
    }
    // References that merge several images into their first frame are not comparable.
    if (ref.frames != 0 && ref.frames != image->FrameCount()) continue;
    EXPECT_EQ(CompareFirstFrame(*image, ref), 0);
    ++compared;
  }
  fs::remove_all(scratch);
  EXPECT_GE(compared, 40);
  EXPECT_LE(different, 2);
}

// ---- every composed frame against two independent decoders -----------------------------------

// Pixels of a composed frame that differ from what both oracles agree on. Where no frame has
// drawn, the composed frame shows its own background colour (the transparent colour, the
// screen's background colour or the window colour) where others differ; such pixels are not
// compared.
int CountDisagreements(TBitmap& composed, const Bytes& a, const Bytes& b) {
  const std::vector<uint32_t> ours = test::BitmapColors(composed);
  const uint32_t brush = ColorToRGB(composed.Canvas().Brush().Color());
  const uint32_t background = ((brush & 0xFF) << 16) | (brush & 0xFF00) | ((brush >> 16) & 0xFF);
  int count = 0;
  for (size_t i = 0; i < ours.size() && i * 4 + 3 < a.size(); ++i) {
    if (ours[i] == background) continue;
    const uint8_t* p = &a[i * 4];
    const uint8_t* q = &b[i * 4];
    if (p[3] != 255 || q[3] != 255) continue;  // background, or the two differ
    if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) continue;
    if (ours[i] != static_cast<uint32_t>((p[0] << 16) | (p[1] << 8) | p[2])) ++count;
  }
  return count;
}

TEST(GifCorpusTest, ComposedFramesMatchWhereTwoOtherDecodersAgree) {
  const std::string dir = test::CorporaDir();
  if (dir.empty()) GTEST_SKIP() << "no corpus";
  if (!fs::exists("/usr/bin/convert-im6.q16") || !fs::exists("/usr/bin/python3"))
    GTEST_SKIP() << "no oracles";
  const fs::path scratch = fs::temp_directory_path() / ("gif_oracles_" + std::to_string(::getpid()));
  const std::string oracles = dir + "/oracles/";
  int filesCompared = 0;
  int framesCompared = 0;
  for (const CorpusFile& file : GifManifest(dir)) {
    if (file.validity != "valid") continue;
    SCOPED_TRACE(file.path);
    const std::string path = dir + "/" + file.path;
    std::unique_ptr<TGIFImage> image;
    std::string error;
    ASSERT_EQ(Load(path, image, error), Outcome::Loaded) << error;
    const OracleFrames magick = RunOracle("bash '" + oracles + "oracle.sh'", path, scratch / "im");
    const OracleFrames pillow =
        RunOracle("/usr/bin/python3 '" + oracles + "oracle_pil.py'", path, scratch / "pil");
    // Only frame sequences that the three of us read alike are compared.
    const int count = image->FrameCount();
    if (magick.frames.size() != static_cast<size_t>(count) || pillow.frames.size() != magick.frames.size() ||
        magick.width != image->ScreenWidth() || magick.height != image->ScreenHeight() ||
        pillow.width != magick.width || pillow.height != magick.height)
      continue;
    TGIFAnimator animator(nullptr);
    animator.Image()->AssignFrom(image.get());
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE("frame " + std::to_string(i));
      TColor trans = clNone;
      TBitmap* composed = animator.ComposeFrame(i, trans);
      ASSERT_NE(composed, nullptr);
      EXPECT_EQ(CountDisagreements(*composed, magick.frames[i], pillow.frames[i]), 0);
      ++framesCompared;
    }
    ++filesCompared;
  }
  fs::remove_all(scratch);
  EXPECT_GE(filesCompared, 40);
  std::cout << filesCompared << " files, " << framesCompared << " composed frames compared\n";
}

// The control paints only the screen pixels it shows. For every corpus file that loads, damaged ones
// included, each of its first frames must paint as the whole composed screen drawn onto the control
// would: stretched small, and at natural size centred in a smaller control.
TEST(GifCorpusTest, PaintingTheShownPartMatchesTheWholeScreen) {
  const std::string dir = test::CorporaDir();
  if (dir.empty()) GTEST_SKIP() << "no corpus";
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 150);
  form.Show();
  auto* animator = new TGIFAnimator(&form);
  animator->SetAutoSize(false);
  animator->SetParent(&form);
  int framesCompared = 0;
  for (const CorpusFile& file : GifManifest(dir)) {
    SCOPED_TRACE(file.path);
    std::unique_ptr<TGIFImage> image;
    std::string error;
    if (Load(dir + "/" + file.path, image, error) != Outcome::Loaded) continue;
    animator->Image()->AssignFrom(image.get());
    const int width = animator->Image()->LogicalWidth();
    const int height = animator->Image()->LogicalHeight();
    if (width < 1 || height < 1 || static_cast<int64_t>(width) * height > (1 << 22)) continue;
    for (const bool stretched : {true, false}) {
      animator->SetStretch(stretched);
      animator->SetCenter(!stretched);
      animator->SetBounds(4, 4, 53, 37);
      const TRect dest =
          stretched ? Rect(0, 0, 53, 37) : Bounds((53 - width) / 2, (37 - height) / 2, width, height);
      for (int index = 0; index < std::min(animator->Image()->FrameCount(), 4); ++index) {
        animator->SetFrameIndex(index);
        animator->Widget()->grab();
        TColor trans = clNone;
        TBitmap* whole = animator->ComposeFrame(index, trans);
        ASSERT_NE(whole, nullptr);
        TBitmap expected;
        expected.SetSize(53, 37);
        expected.Canvas().Brush().SetColor(form.Color());
        expected.Canvas().FillRect(Rect(0, 0, 53, 37));
        if (trans != clNone) {
          StretchTransparent(expected.Canvas(), dest.Left, dest.Top, dest.Width(), dest.Height(), *whole,
                             Rect(0, 0, width, height), trans);
        } else {
          whole->DrawInto(expected.Canvas(), dest);
        }
        const std::vector<uint32_t> want = test::BitmapColors(expected);
        const QImage shown = BitmapAsQImage(animator->PaintBitmap());
        std::vector<uint32_t> got(want.size());
        for (int y = 0; y < 37; ++y)
          for (int x = 0; x < 53; ++x) got[static_cast<size_t>(y) * 53 + x] = shown.pixel(x, y) & 0xFFFFFF;
        ASSERT_EQ(want, got) << "frame " << index << (stretched ? ", stretched" : ", centred");
        ++framesCompared;
      }
    }
  }
  EXPECT_GE(framesCompared, 100);
  std::cout << framesCompared << " painted frames compared\n";
}

}  // namespace
}  // namespace lumivane
