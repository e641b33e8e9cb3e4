// Icon entries as current tools write them: PNG-compressed entries, 256-pixel entries (a size
// byte of 0), 32-bit entries with alpha, colour tables shorter than the depth's, and headers that
// claim far more pixels than the entry holds.
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "encoder_oracle.h"
#include "framework/exception.h"
#include "picture/icon.h"

namespace lumivane::test {
namespace {

void LoadIcon(TIcon& icon, const Bytes& bytes) {
  TMemoryStream stream;
  stream.Assign(bytes);
  icon.ReadFromStream(stream);
}

// The icon drawn over a uniform background at its decoded size, as 0x00BBGGRR pixels.
std::vector<uint32_t> DrawOver(TIcon& icon, TColor background) {
  icon.IconHandle();
  return test::DrawOver(static_cast<TGraphic&>(icon), background);
}

// Icons written by Pillow (PNG-compressed entries) and ImageMagick (bitmap entries, 32-bit with
// alpha below 256 pixels), with Pillow's reading of the entry of each size.
TEST(IconEntries, PngAlphaAnd256PixelEntriesMatchPillow) {
  if (!HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  ScratchFolder folder;
  const std::string dir = folder.path.string();
  RunPillow(R"(
from PIL import Image
d = ')" + dir +
            R"('
def picture(n):
  im = Image.new('RGBA', (n, n))
  im.putdata([((x * 5) % 256, (y * 3) % 256, 200, 255 if x < n // 2 else (x * 17 + y) % 256)
              for y in range(n) for x in range(n)])
  return im
big = picture(256)
big.save(d + '/png-all.ico', sizes=[(16, 16), (32, 32), (48, 48)])
big.save(d + '/png-256.ico', sizes=[(256, 256)])
big.save(d + '/alpha-source.png')
for name, size in (('png-all', 32), ('png-256', 256)):
  im = Image.open(d + '/' + name + '.ico')
  im.size = (size, size)
  open(d + '/' + name + '.rgba', 'wb').write(im.convert('RGBA').tobytes())
print('ok')
)");
  std::vector<std::string> names = {"png-all", "png-256"};
  if (HaveImageMagick()) {
    RunCommand(std::string(kConvert) + " '" + folder.File("alpha-source.png") +
               "' -define icon:auto-resize=48,32,16 '" + folder.File("bmp-alpha.ico") + "'");
    RunPillow(R"(
from PIL import Image
im = Image.open(')" +
              folder.File("bmp-alpha.ico") + R"(')
im.size = (32, 32)
open(')" + folder.File("bmp-alpha.rgba") +
              R"(', 'wb').write(im.convert('RGBA').tobytes())
)");
    names.push_back("bmp-alpha");
  }
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const Bytes bytes = ReadFileBytes(folder.File(name + ".ico"));
    const Bytes reference = ReadFileBytes(folder.File(name + ".rgba"));
    ASSERT_FALSE(bytes.empty());
    ASSERT_FALSE(reference.empty());
    TIcon icon;
    LoadIcon(icon, bytes);
    // Before decoding the size is already the chosen entry's, so that a control can take it.
    const int expected_size = name == "png-256" ? 256 : 32;
    EXPECT_FALSE(icon.Decoded());
    EXPECT_EQ(icon.ImageWidth(), expected_size);
    icon.IconHandle();
    EXPECT_EQ(icon.ImageWidth(), expected_size);
    EXPECT_EQ(icon.ImageHeight(), expected_size);
    for (TColor background : {clBlack, clWhite, TColor(0x336699)})
      EXPECT_EQ(BlendMismatches(DrawOver(icon, background), reference, background), 0);
  }
}

// An 8-bit entry whose header declares 20 colours: the colour rows follow those 20 entries.
TEST(IconEntries, ColourRowsFollowTheDeclaredColourTable) {
  IconEntryLayout layout;
  layout.width = layout.height = 16;
  layout.bpp = 8;
  Bytes data = InfoHeader(16, 32, 8, 0, 20);
  std::vector<Rgb> colors(20);
  for (int i = 0; i < 20; ++i) colors[size_t(i)] = Rgb{uint8_t(i * 12), uint8_t(255 - i * 12), 7};
  const Bytes table = PaletteBytes(colors);
  data.insert(data.end(), table.begin(), table.end());
  std::vector<std::vector<uint32_t>> rows, mask;
  for (int y = 15; y >= 0; --y) {
    rows.emplace_back();
    mask.emplace_back(16, 0);
    for (int x = 0; x < 16; ++x) rows.back().push_back(uint32_t((x + y) % 20));
  }
  const Bytes pixels = PackRows(rows, 8);
  const Bytes and_rows = PackRows(mask, 1);
  data.insert(data.end(), pixels.begin(), pixels.end());
  data.insert(data.end(), and_rows.begin(), and_rows.end());
  Bytes file;
  Put16(file, 0);
  Put16(file, 1);
  Put16(file, 1);
  file.insert(file.end(), {16, 16, 0, 0});
  Put16(file, 1);
  Put16(file, 8);
  Put32(file, uint32_t(data.size()));
  Put32(file, 22);
  file.insert(file.end(), data.begin(), data.end());

  TIcon icon;
  LoadIcon(icon, file);
  const std::vector<uint32_t> drawn = DrawOver(icon, clBlue);
  ASSERT_EQ(drawn.size(), 256u);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const Rgb& c = colors[size_t((x + y) % 20)];
      EXPECT_EQ(drawn[size_t(y * 16 + x)], ColorOf(c.r, c.g, c.b)) << x << "," << y;
    }
}

// Headers that claim a huge picture in a small entry decode only the icon's own pixels; what the
// data lacks is black.
TEST(IconEntries, HugeHeaderSizesCostOnlyTheIconsOwnPixels) {
  for (const auto& [width, height] : {std::pair{14155792, 16}, std::pair{16383, 16383}}) {
    Bytes data = InfoHeader(width, height * 2, 24);
    for (int i = 0; i < 1400; ++i) data.push_back(uint8_t(i));
    Bytes file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, 1);
    file.insert(file.end(), {32, 32, 0, 0});
    Put16(file, 1);
    Put16(file, 24);
    Put32(file, uint32_t(data.size()));
    Put32(file, 22);
    file.insert(file.end(), data.begin(), data.end());
    TIcon icon;
    LoadIcon(icon, file);
    icon.IconHandle();
    EXPECT_EQ(icon.ImageWidth(), 32);
    EXPECT_EQ(icon.ImageHeight(), 32);
    const std::vector<uint32_t> drawn = DrawOver(icon, clWhite);
    EXPECT_EQ(drawn.front(), 0u);  // the top row lies beyond the data: black, opaque
  }
}

}  // namespace
}  // namespace lumivane::test
