// Every truncated prefix and many single-byte corruptions of valid bitmap and icon files either
// decode or fail with one of the reader's own errors; none reads outside its buffers (run this
// suite in the sanitizer build too).
#include <gtest/gtest.h>

#include <random>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/bitmap.h"
#include "picture/icon.h"

namespace lumivane::test {
namespace {

// Decodes fully (an icon is drawn too); returns false on an exception the readers do not raise.
template <typename G>
bool DecodesOrFailsCleanly(const Bytes& bytes) {
  try {
    G graphic;
    TMemoryStream stream;
    stream.Assign(bytes);
    graphic.ReadFromStream(stream);
    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(8, 8);
    graphic.DrawInto(target.Canvas(), Rect(0, 0, 8, 8));
    return true;
  } catch (const EInvalidGraphic&) {
  } catch (const EReadError&) {
  } catch (const EOSError&) {
  } catch (const EOutOfResources&) {
  } catch (...) {
    return false;
  }
  return true;
}

std::vector<Bytes> BitmapSamples() {
  std::vector<Bytes> samples;
  Bytes pal;
  for (int i = 0; i < 16; ++i) {
    const Bytes p = PaletteBytes({Rgb{uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)}});
    pal.insert(pal.end(), p.begin(), p.end());
  }
  samples.push_back(BmpFile(InfoHeader(7, 5, 4), pal, Bytes(20, 0x12)));
  samples.push_back(BmpFile(InfoHeader(3, -2, 24), {}, Bytes(24, 0x7F)));
  Bytes masks;
  Put32(masks, 0xF800);
  Put32(masks, 0x07E0);
  Put32(masks, 0x001F);
  samples.push_back(BmpFile(InfoHeader(3, 3, 16, 3), masks, Bytes(24, 0xA5)));
  const Bytes rle = {3, 5, 0, 0, 0, 2, 2, 0, 0, 3, 7, 8, 9, 0, 0, 0, 4, 1, 0, 1};
  Bytes pal256(1024, 0x40);
  samples.push_back(BmpFile(InfoHeader(4, 3, 8, 1, 0, 40, 1, rle.size()), pal256, rle));
  return samples;
}

std::vector<Bytes> IconSamples() {
  IconEntryLayout a;
  a.width = a.height = 16;
  a.palette = {Rgb{1, 2, 3}, Rgb{200, 100, 0}};
  a.value = [](int x, int y) { return uint32_t((x + y) % 2); };
  a.transparent = [](int x, int) { return x < 3; };
  IconEntryLayout b = a;
  b.width = b.height = 32;
  b.bpp = 24;
  b.value = [](int x, int y) { return uint32_t(x * 8 << 8 | y * 8); };
  return {IconFile({a}), IconFile({a, b})};
}

template <typename G>
void CheckTruncationsAndCorruptions(const std::vector<Bytes>& samples) {
  std::mt19937 random(12345);
  for (const Bytes& sample : samples) {
    for (size_t n = 0; n < sample.size(); ++n)
      ASSERT_TRUE(DecodesOrFailsCleanly<G>(Bytes(sample.begin(), sample.begin() + n))) << n;
    for (int i = 0; i < 400; ++i) {
      Bytes corrupt = sample;
      const size_t at = random() % corrupt.size();
      // Mostly the headers, where the damage matters; extreme values and random ones.
      const size_t where = i % 2 == 0 ? at % std::min<size_t>(corrupt.size(), 80) : at;
      const uint8_t values[] = {0, 0xFF, 0x80, 0x7F, static_cast<uint8_t>(random())};
      corrupt[where] = values[i % 5];
      ASSERT_TRUE(DecodesOrFailsCleanly<G>(corrupt)) << where;
    }
  }
}

TEST(Robustness, BitmapPrefixesAndCorruptions) { CheckTruncationsAndCorruptions<TBitmap>(BitmapSamples()); }

TEST(Robustness, IconPrefixesAndCorruptions) { CheckTruncationsAndCorruptions<TIcon>(IconSamples()); }

}  // namespace
}  // namespace lumivane::test
