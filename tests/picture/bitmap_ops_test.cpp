// In-memory bitmap operations: size changes, pixel formats, row addresses, sharing, palettes,
// storage kinds, transparency and drawing.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/bitmap.h"

namespace lumivane::test {
namespace {

// A 4 x 3 24-bit bitmap whose pixel (x, y) is RGB(x * 60, y * 100, 7).
void FillGradient(TBitmap& bitmap) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(4, 3);
  for (int y = 0; y < 3; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < 4; ++x) {
      row[3 * x] = 7;
      row[3 * x + 1] = static_cast<uint8_t>(y * 100);
      row[3 * x + 2] = static_cast<uint8_t>(x * 60);
    }
  }
}

uint32_t Gradient(int x, int y) { return Rgb{uint8_t(x * 60), uint8_t(y * 100), 7}.ColorRef(); }

TEST(BitmapOps, FreshBitmapIsEmptyAndSizesToADeviceBitmap) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
  bitmap.SetSize(3, 2);
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.StorageKind(), skDevice);
  EXPECT_EQ(bitmap.ImageWidth(), 3);
  EXPECT_EQ(bitmap.ImageHeight(), 2);
  EXPECT_EQ(PixelAt(bitmap, 2, 1), 0xFFFFFFu);  // filled white without a canvas brush
}

TEST(BitmapOps, ScanLinesAddressRowsTopDownAndCheckTheirIndex) {
  TBitmap bitmap;
  FillGradient(bitmap);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(PixelAt(bitmap, x, y), Gradient(x, y));
  for (int bad : {-1, 3, 1000}) {
    try {
      bitmap.ScanLine(bad);
      ADD_FAILURE() << bad;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message, "Scan line index out of range");
    }
  }
  // A bottom-up file: row 0 is the last row in memory.
  EXPECT_GT(static_cast<uint8_t*>(bitmap.ScanLine(0)), static_cast<uint8_t*>(bitmap.ScanLine(2)));
}

TEST(BitmapOps, GrowingKeepsPixelsTopLeftAndFillsWithTheBrush) {
  TBitmap bitmap;
  FillGradient(bitmap);
  bitmap.Canvas().Brush().SetColor(clRed);
  bitmap.SetSize(6, 5);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(bitmap, x, y), Gradient(x, y)) << x << "," << y;
  EXPECT_EQ(PixelAt(bitmap, 5, 0), 0x0000FFu);
  EXPECT_EQ(PixelAt(bitmap, 0, 4), 0x0000FFu);
  bitmap.SetImageWidth(2);
  EXPECT_EQ(bitmap.ImageWidth(), 2);
  EXPECT_EQ(PixelAt(bitmap, 1, 2), Gradient(1, 2));
  bitmap.SetImageHeight(0);
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST(BitmapOps, PixelFormatsConvertAndRefuseCustom) {
  TBitmap bitmap;
  FillGradient(bitmap);
  bitmap.SetPixelFormat(pf32bit);
  EXPECT_EQ(bitmap.PixelFormat(), pf32bit);
  EXPECT_EQ(PixelAt(bitmap, 3, 2), Gradient(3, 2));
  bitmap.SetPixelFormat(pf16bit);
  EXPECT_EQ(bitmap.PixelFormat(), pf16bit);
  EXPECT_EQ(bitmap.ImageDescription().dsBitfields[1], 0x07E0u);
  bitmap.SetPixelFormat(pf8bit);
  EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
  EXPECT_NE(bitmap.PaletteHandle(), nullptr);
  EXPECT_TRUE(bitmap.PaletteModified);
  bitmap.SetPixelFormat(pf1bit);
  EXPECT_TRUE(bitmap.Monochrome());
  try {
    bitmap.SetPixelFormat(pfCustom);
    ADD_FAILURE();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Invalid pixel format");
  }
  // An empty bitmap remembers the format it was given for its first size.
  TBitmap fresh;
  fresh.SetPixelFormat(pf8bit);
  EXPECT_TRUE(fresh.IsEmpty());
  fresh.SetSize(2, 2);
  EXPECT_EQ(fresh.PixelFormat(), pf8bit);
  EXPECT_EQ(fresh.StorageKind(), skDIB);
}

TEST(BitmapOps, CopiesShareTheImageUntilOneChanges) {
  TBitmap original;
  FillGradient(original);
  original.SetTransparentColor(clLime);
  original.SetTransparent(true);
  TBitmap copy;
  int changes = 0;
  copy.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &copy);
    ++changes;
  };
  copy.AssignFrom(&original);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(copy.ImageHandle(), original.ImageHandle());
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(copy.TransparentMode(), tmFixed);
  EXPECT_EQ(copy.TransparentColor(), clLime | 0x02000000);

  // Writing a row of the copy leaves the original untouched.
  static_cast<uint8_t*>(copy.ScanLine(0))[0] = 99;
  EXPECT_NE(copy.ImageHandle(), original.ImageHandle());
  EXPECT_EQ(PixelAt(original, 0, 0), Gradient(0, 0));
  EXPECT_EQ(PixelAt(copy, 0, 0), ColorOf(0, 0, 99));
  EXPECT_EQ(PixelAt(copy, 3, 2), Gradient(3, 2));

  // Canvas drawing on a shared image also gives the drawer its own copy.
  TBitmap third;
  third.AssignFrom(&original);
  third.Canvas().Brush().SetColor(clBlue);
  third.Canvas().FillRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(PixelAt(third, 0, 0), 0xFF0000u);
  EXPECT_EQ(PixelAt(original, 0, 0), Gradient(0, 0));

  copy.AssignFrom(nullptr);
  EXPECT_TRUE(copy.IsEmpty());
  EXPECT_FALSE(original.IsEmpty());
}

TEST(BitmapOps, StorageKindAndMonochromeSwitchKeepPixels) {
  TBitmap bitmap;
  FillGradient(bitmap);
  bitmap.SetStorageKind(skDevice);
  EXPECT_EQ(bitmap.StorageKind(), skDevice);
  EXPECT_EQ(bitmap.PixelFormat(), pfDevice);
  EXPECT_EQ(PixelAt(bitmap, 2, 1), Gradient(2, 1));
  bitmap.SetStorageKind(skDIB);
  EXPECT_EQ(bitmap.StorageKind(), skDIB);
  EXPECT_EQ(PixelAt(bitmap, 2, 1), Gradient(2, 1));
  // A row address turns a device bitmap back into a DIB section.
  bitmap.SetStorageKind(skDevice);
  ASSERT_NE(bitmap.ScanLine(1), nullptr);
  EXPECT_EQ(bitmap.StorageKind(), skDIB);
  EXPECT_EQ(PixelAt(bitmap, 2, 1), Gradient(2, 1));

  TBitmap mono;
  mono.SetMonochrome(true);
  mono.SetSize(8, 2);
  EXPECT_TRUE(mono.Monochrome());
  EXPECT_EQ(mono.TransparentColor(), clWhite | 0x02000000);
  mono.Canvas().Brush().SetColor(clBlack);
  mono.Canvas().FillRect(Rect(0, 0, 4, 2));
  EXPECT_EQ(PixelAt(mono, 0, 0), 0u);
  EXPECT_EQ(PixelAt(mono, 7, 1), 0xFFFFFFu);
  // Back to colour: 0 bits take the font colour, 1 bits the brush colour.
  mono.Canvas().Brush().SetColor(clYellow);
  mono.SetMonochrome(false);
  EXPECT_FALSE(mono.Monochrome());
  EXPECT_EQ(PixelAt(mono, 0, 0), 0u);
  EXPECT_EQ(PixelAt(mono, 7, 1), 0x00FFFFu);
}

TEST(BitmapOps, PaletteHandleRebuildsTheColourTable) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 1);
  static_cast<uint8_t*>(bitmap.ScanLine(0))[0] = 1;
  static_cast<uint8_t*>(bitmap.ScanLine(0))[1] = 0;
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = 2;
  log->palPalEntry[0] = PALETTEENTRY{10, 20, 30, 0};
  log->palPalEntry[1] = PALETTEENTRY{200, 100, 50, 0};
  HPALETTE palette = CreatePalette(log);
  bitmap.SetPaletteHandle(palette);
  EXPECT_EQ(bitmap.PaletteHandle(), palette);
  EXPECT_EQ(PixelAt(bitmap, 0, 0), ColorOf(200, 100, 50));
  EXPECT_EQ(PixelAt(bitmap, 1, 0), ColorOf(10, 20, 30));
}

TEST(BitmapOps, TransparentColourFollowsTheBottomLeftPixelUntilFixed) {
  TBitmap bitmap;
  FillGradient(bitmap);
  EXPECT_EQ(bitmap.TransparentMode(), tmAuto);
  EXPECT_EQ(bitmap.TransparentColor(), static_cast<TColor>(Gradient(0, 2) | 0x02000000));
  bitmap.SetTransparentColor(clRed);
  EXPECT_EQ(bitmap.TransparentMode(), tmFixed);
  EXPECT_EQ(bitmap.TransparentColor(), clRed | 0x02000000);
  bitmap.SetTransparentColor(clDefault);
  EXPECT_EQ(bitmap.TransparentMode(), tmAuto);

  // The mask marks the pixels of the transparent colour.
  bitmap.SetTransparentColor(static_cast<TColor>(Gradient(1, 1)));
  HBITMAP mask = bitmap.MaskImageHandle();
  ASSERT_NE(mask, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mask);
  EXPECT_EQ(GetPixel(dc, 1, 1), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(dc, 2, 1), 0u);
  SelectObject(dc, old);
  DeleteDC(dc);
}

// A 32-bit target canvas of its own for drawing tests.
struct Target {
  TBitmap bitmap;
  Target(int w, int h) {
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(w, h);
    bitmap.Canvas().Brush().SetColor(clBlue);
    bitmap.Canvas().FillRect(Rect(0, 0, w, h));
  }
  uint32_t At(int x, int y) { return PixelAt(bitmap, x, y); }
};

TEST(BitmapOps, DrawIntoStretchesAndHonoursTransparency) {
  TBitmap source;
  FillGradient(source);
  Target target(10, 8);
  source.DrawInto(target.bitmap.Canvas(), Rect(1, 1, 9, 7));  // 4x3 -> 8x6: each pixel doubled
  EXPECT_EQ(target.At(0, 0), 0xFF0000u);
  EXPECT_EQ(target.At(1, 1), Gradient(0, 0));
  EXPECT_EQ(target.At(2, 2), Gradient(0, 0));
  EXPECT_EQ(target.At(8, 6), Gradient(3, 2));
  EXPECT_EQ(target.At(9, 7), 0xFF0000u);

  Target second(4, 3);
  source.SetTransparentColor(static_cast<TColor>(Gradient(2, 1)));
  source.SetTransparent(true);
  source.DrawInto(second.bitmap.Canvas(), Rect(0, 0, 4, 3));
  EXPECT_EQ(second.At(2, 1), 0xFF0000u);  // left undrawn
  EXPECT_EQ(second.At(1, 1), Gradient(1, 1));
  // An empty bitmap draws nothing.
  TBitmap empty;
  empty.DrawInto(second.bitmap.Canvas(), Rect(0, 0, 4, 3));
  EXPECT_EQ(second.At(0, 0), Gradient(0, 0));
}

TEST(BitmapOps, WrittenFilesReadBackToTheSamePixels) {
  TBitmap source;
  FillGradient(source);
  for (TPixelFormat format : {pf24bit, pf32bit, pf8bit, pf4bit, pf1bit, pfDevice}) {
    SCOPED_TRACE(format);
    TBitmap bitmap;
    bitmap.AssignFrom(&source);
    bitmap.SetPixelFormat(format);
    TMemoryStream stream;
    bitmap.WriteToStream(stream);
    stream.SetPosition(0);
    TBitmap back;
    back.ReadFromStream(stream);
    ASSERT_EQ(back.ImageWidth(), 4);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(back, x, y), PixelAt(bitmap, x, y));
    EXPECT_TRUE(back.SameImageAs(&bitmap) || format == pfDevice);
  }
}

}  // namespace
}  // namespace lumivane::test
