// Icons: lazy decoding, the choice of entry, masks, drawing at the icon's own size, and the files
// that must be refused.
#include <gtest/gtest.h>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/icon.h"

namespace lumivane::test {
namespace {

// An entry whose pixels all show palette colour `mark` except a transparent left column.
IconEntryLayout Entry(int size, uint8_t mark) {
  IconEntryLayout s;
  s.width = s.height = size;
  s.bpp = 4;
  s.palette = {Rgb{0, 0, 0}, Rgb{mark, 0, 0}, Rgb{0, mark, 0}};
  // Transparent pixels are black in the colour rows (the screen shows through unchanged).
  s.value = [](int x, int y) { return x == 0 ? 0u : uint32_t(y % 2 == 0 ? 1 : 2); };
  s.transparent = [](int x, int) { return x == 0; };
  return s;
}

void LoadIcon(TIcon& icon, const Bytes& bytes) {
  TMemoryStream stream;
  stream.Assign(bytes);
  icon.ReadFromStream(stream);
}

struct Target {
  TBitmap bitmap;
  Target(int w, int h) {
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(w, h);
    bitmap.Canvas().Brush().SetColor(clBlue);
    bitmap.Canvas().FillRect(Rect(0, 0, w, h));
  }
};

TEST(Icon, ChoosesTheSystemSizeAndDecodesOnlyWhenDrawn) {
  TIcon icon;
  LoadIcon(icon, IconFile({Entry(16, 16), Entry(32, 32), Entry(48, 48)}));
  EXPECT_FALSE(icon.Decoded());
  EXPECT_EQ(icon.ImageWidth(), 32);  // the system icon size until decoded
  EXPECT_TRUE(icon.Transparent());
  icon.SetTransparent(false);
  EXPECT_TRUE(icon.Transparent());

  Target target(80, 80);
  icon.DrawInto(target.bitmap.Canvas(), Rect(10, 20, 80, 80));  // never stretched
  EXPECT_TRUE(icon.Decoded());
  EXPECT_EQ(icon.ImageWidth(), 32);
  EXPECT_EQ(icon.ImageHeight(), 32);
  // The 32 x 32 entry: red 32 on even rows, green 32 on odd rows; column 0 transparent.
  EXPECT_EQ(PixelAt(target.bitmap, 11, 20), ColorOf(32, 0, 0));
  EXPECT_EQ(PixelAt(target.bitmap, 11, 21), ColorOf(0, 32, 0));
  EXPECT_EQ(PixelAt(target.bitmap, 10, 20), 0xFF0000u);  // transparent column keeps the blue
  EXPECT_EQ(PixelAt(target.bitmap, 41, 51), ColorOf(0, 32, 0));
  EXPECT_EQ(PixelAt(target.bitmap, 42, 52), 0xFF0000u);  // outside the 32 x 32 icon
  EXPECT_EQ(PixelAt(target.bitmap, 9, 20), 0xFF0000u);

  try {
    icon.SetImageWidth(16);
    ADD_FAILURE();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message, "Cannot change the size of an icon");
  }
}

TEST(Icon, RequestedSizeSteersTheChoice) {
  const Bytes file = IconFile({Entry(16, 16), Entry(32, 32), Entry(48, 48)});
  for (int size : {16, 48}) {
    TIcon icon;
    icon.SetImageWidth(size);
    icon.SetImageHeight(size);
    LoadIcon(icon, file);
    ASSERT_NE(icon.IconHandle(), nullptr);
    EXPECT_EQ(icon.ImageWidth(), size);
  }
  // Entry 0 stays chosen when no later entry is at least as good.
  TIcon icon;
  LoadIcon(icon, IconFile({Entry(32, 32), Entry(48, 48)}));
  icon.IconHandle();
  EXPECT_EQ(icon.ImageWidth(), 32);
}

TEST(Icon, TypeZeroShowsTheApplicationIconAndCopiesShare) {
  TIcon icon;
  LoadIcon(icon, IconFile({}, 0));
  EXPECT_EQ(icon.IconHandle(), LoadIconA(nullptr, IDI_APPLICATION));
  TIcon copy;
  copy.AssignFrom(&icon);
  EXPECT_EQ(copy.IconHandle(), icon.IconHandle());
  EXPECT_TRUE(copy.SameImageAs(&icon));
  copy.AssignFrom(nullptr);
  EXPECT_TRUE(copy.IsEmpty());
}

TEST(Icon, BadFilesAreRefused) {
  auto refused = [](const Bytes& bytes) {
    TIcon icon;
    LoadIcon(icon, IconFile({Entry(16, 16)}));
    try {
      LoadIcon(icon, bytes);
      icon.IconHandle();
      return false;
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message, "Icon image is not valid");
      return true;
    }
  };
  EXPECT_TRUE(refused(IconFile({Entry(16, 16)}, 2)));  // a cursor
  EXPECT_TRUE(refused(IconFile({}, 1)));               // no images
  Bytes cut_directory = IconFile({Entry(16, 16), Entry(32, 32)});
  cut_directory.resize(6 + 20);
  EXPECT_TRUE(refused(cut_directory));
  Bytes cut_data = IconFile({Entry(16, 16)});
  cut_data.resize(cut_data.size() - 10);
  EXPECT_TRUE(refused(cut_data));
  Bytes huge_offset = IconFile({Entry(16, 16)});
  Set32(huge_offset, 6 + 12, 0xFFFFFFF0);
  EXPECT_TRUE(refused(huge_offset));
  IconEntryLayout wide = Entry(16, 16);
  wide.width = 256;  // a width byte of 0 stands for 256
  EXPECT_FALSE(refused(IconFile({wide})));
  Bytes bad_depth = IconFile({Entry(16, 16)});
  bad_depth[6 + 16 + 14] = 3;  // the entry's own header: 3 bits per pixel
  EXPECT_TRUE(refused(bad_depth));
  // A failed load keeps the previous icon.
  TIcon icon;
  LoadIcon(icon, IconFile({Entry(16, 16)}));
  EXPECT_THROW(LoadIcon(icon, IconFile({Entry(16, 16)}, 2)), EInvalidGraphic);
  EXPECT_FALSE(icon.IsEmpty());
  EXPECT_NE(icon.IconHandle(), nullptr);
}

}  // namespace
}  // namespace lumivane::test
