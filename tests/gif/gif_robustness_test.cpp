// Damaged GIF data: prefixes and corruptions of valid files either read (and decode) or fail with
// one of the program's exceptions. The sanitizer build checks the bounds on the way.
#include <gtest/gtest.h>

#include <filesystem>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif_test_data.h"
#include "picture/bitmap.h"

namespace lumivane {
namespace {

using test::Bytes;

// Reads the data and decodes every frame; false when an exception of the program ends it.
bool ReadAndDecodeAll(const Bytes& data) {
  TGIFImage image;
  TMemoryStream stream;
  stream.Assign(data);
  try {
    image.ReadFromStream(stream);
    for (int i = 0; i < image.FrameCount(); ++i) {
      try {
        image.FrameAt(i)->FrameBitmap();
      } catch (const Exception&) {
      }
    }
    return true;
  } catch (const Exception&) {
    return false;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "foreign exception: " << e.what();
    return false;
  }
}

// Every prefix, and Rounds copies with a few bytes changed; returns how many read.
int Damage(const Bytes& full, size_t prefixStep, int rounds) {
  int loaded = 0;
  for (size_t n = 0; n < full.size(); n += prefixStep)
    loaded += ReadAndDecodeAll(Bytes(full.begin(), full.begin() + n));
  uint32_t state = static_cast<uint32_t>(full.size());
  auto next = [&] { return state = state * 1664525u + 1013904223u; };
  for (int round = 0; round < rounds && !full.empty(); ++round) {
    Bytes data = full;
    for (int i = 1 + static_cast<int>(next() >> 30); i > 0; --i) {
      uint8_t& byte = data[(next() >> 8) % data.size()];
      if (round % 3 == 0)
        byte = static_cast<uint8_t>(next() >> 24);
      else if (round % 3 == 1)
        byte ^= static_cast<uint8_t>(1 << (next() >> 29));
      else
        byte = (next() >> 31) ? 0xFF : 0x00;
    }
    loaded += ReadAndDecodeAll(data);
  }
  return loaded;
}

TEST(GifRobustnessTest, DamagedAnimationReadsOrFailsCleanly) {
  test::GifBuilder gif;
  gif.Header().Screen(12, 10, test::Palette(16), 3).Loop(0).Comment({"made for the test"});
  gif.GraphicControl(10, true, 2, 2);
  gif.Image(0, 0, 12, 10, test::CodeData(test::PatternPixels(120, 16, 1), 4));
  gif.Image(2, 3, 7, 5, test::CodeData(test::PatternPixels(35, 4, 2), 2), test::Palette(4), true);
  gif.Image(1, 1, 9, 4, test::CodeData(test::PatternPixels(36, 256, 3), 8), test::Palette(256));
  const Bytes full = gif.Trailer().Data();
  ASSERT_TRUE(ReadAndDecodeAll(full));
  const int attempts = static_cast<int>(full.size()) + 3000;
  const int loaded = Damage(full, 1, 3000);
  // Damage in code data still reads; damage in descriptors and tables is refused.
  EXPECT_GT(loaded, 0);
  EXPECT_LT(loaded, attempts);
}

TEST(GifRobustnessTest, DamagedCorpusFilesReadOrFailCleanly) {
  const std::string dir = test::CorporaDir();
  if (dir.empty()) GTEST_SKIP() << "no corpus";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir + "/gif")) {
    if (!entry.is_regular_file() || entry.file_size() > 64 * 1024) continue;
    SCOPED_TRACE(entry.path().string());
    const Bytes full = test::ReadFileBytes(entry.path().string());
    Damage(full, std::max<size_t>(1, full.size() / 64), 20);
    ++files;
  }
  EXPECT_GT(files, 50);
}

}  // namespace
}  // namespace lumivane
