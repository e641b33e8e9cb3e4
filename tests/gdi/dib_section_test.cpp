#include <gtest/gtest.h>

#include "platform/gdi/gdi_qt_bridge.h"
#include "tests/gdi/gdi_test_support.h"

namespace lumivane {
namespace {

using test::Canvas;
using test::InfoBuffer;
using test::MakeInfo;
using test::Quad;

// Pixel memory written by hand must read back through GetPixel at the right place, for every
// depth, with bottom-up rows (memory row 0 = bottom row).
TEST(DibSection, EveryDepthReadsBackThroughGetPixel) {
  struct Case {
    int bits;
    DWORD compression;
    DWORD masks[3];
    std::vector<BYTE> pixel;  // encoding of the test colour at x = 1
    COLORREF expected;
  };
  const Case cases[] = {
      {1, BI_RGB, {}, {0x40}, RGB(200, 10, 20)},               // index 1 at x=1
      {4, BI_RGB, {}, {0x05}, RGB(0, 0, 255)},                 // index 5 at x=1
      {8, BI_RGB, {}, {0, 7}, RGB(1, 2, 3)},                   // index 7 at x=1
      {16, BI_RGB, {}, {0, 0, 0x1F, 0x7C}, RGB(255, 0, 255)},  // 5-5-5: red 31, blue 31
      {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0, 0, 0xE0, 0x07}, RGB(0, 255, 0)},
      {24, BI_RGB, {}, {0, 0, 0, 0x30, 0x20, 0x10}, RGB(0x10, 0x20, 0x30)},
      {32, BI_RGB, {}, {0, 0, 0, 0, 0x33, 0x22, 0x11, 0xFF}, RGB(0x11, 0x22, 0x33)},
      {32,
       BI_BITFIELDS,
       {0x000000FF, 0x0000FF00, 0x00FF0000},
       {0, 0, 0, 0, 0x11, 0x22, 0x33, 0},
       RGB(0x11, 0x22, 0x33)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, compression " << c.compression);
    InfoBuffer info = MakeInfo(3, 2, c.bits, c.compression);
    if (c.compression == BI_BITFIELDS) std::memcpy(info.masks(), c.masks, sizeof(c.masks));
    if (c.bits == 1) info.colors()[1] = Quad(200, 10, 20);
    if (c.bits == 4) info.colors()[5] = Quad(0, 0, 255);
    if (c.bits == 8) info.colors()[7] = Quad(1, 2, 3);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    // Bottom-up: the first memory row is the picture's bottom row (y = 1).
    std::memcpy(bits, c.pixel.data(), c.pixel.size());
    Canvas canvas(bitmap);
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 1), c.expected);
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(canvas.dc(), 3, 0), CLR_INVALID);
  }
}

TEST(DibSection, TopDownRowsStartAtTheTopAndStrideIsPaddedToFourBytes) {
  InfoBuffer info = MakeInfo(3, -2, 24);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  auto* bytes = static_cast<BYTE*>(bits);
  bytes[0] = 0xFF;       // (0, 0) blue
  bytes[12 + 2] = 0xFF;  // (0, 1) red: rows are 9 bytes padded to 12
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(DIBSECTION)));
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 12);
  EXPECT_EQ(ds.dsBm.bmHeight, 2);
  EXPECT_EQ(ds.dsBmih.biHeight, -2);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biSizeImage, 24u);
  Canvas canvas(bitmap);
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 1), RGB(255, 0, 0));
}

TEST(DibSection, MasksWithHolesReadWithinTheChannelSpan) {
  // A damaged 16-bit file may carry masks that are not one run of bits; reading such pixels
  // must stay inside the channel tables.
  InfoBuffer info = MakeInfo(2, 1, 16, BI_BITFIELDS);
  info.masks()[0] = 0xF00F;
  info.masks()[1] = 0x0F00;
  info.masks()[2] = 0x00F0;
  void* bits = nullptr;
  Canvas canvas(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_NE(bits, nullptr);
  auto* p = static_cast<BYTE*>(bits);
  p[0] = 0xFF;
  p[1] = 0xFF;  // every bit set: the holey red channel spans 16 bits and reads its top 8
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0xF0, 255, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), RGB(0, 0, 0));
}

TEST(DibSection, SetPixelEncodesInTheSectionFormat) {
  InfoBuffer info = MakeInfo(2, 1, 16, BI_BITFIELDS);
  info.masks()[0] = 0xF800;
  info.masks()[1] = 0x07E0;
  info.masks()[2] = 0x001F;
  void* bits = nullptr;
  Canvas canvas(CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_EQ(SetPixel(canvas.dc(), 1, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
  const auto* p = static_cast<const BYTE*>(bits);
  EXPECT_EQ(p[2] | (p[3] << 8), 0xF800);
  DIBSECTION ds{};
  GetObjectA(canvas.bitmap(), sizeof(ds), &ds);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);

  // A 4-bit section stores the index of the nearest table colour.
  InfoBuffer info4 = MakeInfo(3, 1, 4);
  info4.header().biClrUsed = 3;
  info4.colors()[0] = Quad(0, 0, 0);
  info4.colors()[1] = Quad(255, 255, 255);
  info4.colors()[2] = Quad(250, 0, 0);
  void* bits4 = nullptr;
  Canvas canvas4(CreateDIBSection(nullptr, info4.info(), DIB_RGB_COLORS, &bits4, nullptr, 0));
  EXPECT_EQ(SetPixel(canvas4.dc(), 1, 0, RGB(255, 0, 0)), RGB(250, 0, 0));
  EXPECT_EQ(static_cast<BYTE*>(bits4)[0], 0x02);
}

TEST(DibSection, InvalidDescriptionsAreRefused) {
  void* bits = reinterpret_cast<void*>(1);
  InfoBuffer planes = MakeInfo(4, 4, 8);
  planes.header().biPlanes = 2;
  EXPECT_EQ(CreateDIBSection(nullptr, planes.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  InfoBuffer depth = MakeInfo(4, 4, 7);
  EXPECT_EQ(CreateDIBSection(nullptr, depth.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  InfoBuffer fields24 = MakeInfo(4, 4, 24, BI_BITFIELDS);
  fields24.masks()[0] = 0xFF;
  EXPECT_EQ(CreateDIBSection(nullptr, fields24.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  InfoBuffer huge = MakeInfo(100000, 100000, 32);
  EXPECT_EQ(CreateDIBSection(nullptr, huge.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  InfoBuffer rle = MakeInfo(4, 4, 8, BI_RLE8);
  EXPECT_EQ(CreateDIBSection(nullptr, rle.info(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

// GetDIBits converts a palette bitmap to 24 and 32 bits, honouring the requested row order.
TEST(DibBits, GetDIBitsConvertsToTrueColourInEitherRowOrder) {
  InfoBuffer info = MakeInfo(2, 2, 8);
  info.colors()[1] = Quad(10, 20, 30);
  info.colors()[2] = Quad(40, 50, 60);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* p = static_cast<BYTE*>(bits);
  p[0] = 1;      // bottom-left
  p[4 + 1] = 2;  // top-right

  InfoBuffer request = MakeInfo(0, 0, 0);
  ASSERT_NE(GetDIBits(nullptr, bitmap, 0, 2, nullptr, request.info(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(request.header().biWidth, 2);
  EXPECT_EQ(request.header().biHeight, 2);
  EXPECT_EQ(request.header().biBitCount, 8);

  InfoBuffer rgb24 = MakeInfo(2, 2, 24);
  std::vector<BYTE> out24(16, 0xEE);
  ASSERT_EQ(GetDIBits(nullptr, bitmap, 0, 2, out24.data(), rgb24.info(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(rgb24.header().biSizeImage, 16u);
  const std::vector<BYTE> bottomUp = {30, 20, 10, 0,  0,  0,  0, 0,  // bottom row, padded
                                      0,  0,  0,  60, 50, 40, 0, 0};
  EXPECT_EQ(out24, bottomUp);

  InfoBuffer rgb32 = MakeInfo(2, -2, 32);
  std::vector<DWORD> out32(4, 0xDEADBEEF);
  ASSERT_EQ(GetDIBits(nullptr, bitmap, 0, 2, out32.data(), rgb32.info(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(out32, (std::vector<DWORD>{0, 0x0028323C, 0x000A141E, 0}));
  DeleteObject(bitmap);
}

TEST(DibBits, SetDIBitsAndCreateDIBitmapConvertIntoDeviceBitmaps) {
  InfoBuffer info = MakeInfo(2, 2, 4);
  info.header().biClrUsed = 2;
  info.colors()[0] = Quad(0, 0, 255);
  info.colors()[1] = Quad(255, 255, 0);
  const BYTE pixels[8] = {0x10, 0, 0, 0,   // bottom row: index 1, index 0
                          0x01, 0, 0, 0};  // top row: index 0, index 1
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &info.header(), CBM_INIT, pixels, info.info(), DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(bitmap, nullptr);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(bitmap, sizeof(DIBSECTION), &bm), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmBits, nullptr);
  Canvas canvas(bitmap);
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 1), RGB(255, 255, 0));
  EXPECT_EQ(GetPixel(canvas.dc(), 1, 1), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), RGB(255, 255, 0));

  // Only the given scan lines change.
  const BYTE one[4] = {0x00, 0, 0, 0};
  EXPECT_EQ(SetDIBits(nullptr, bitmap, 1, 1, one, info.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 1), RGB(255, 255, 0));
}

TEST(DibBits, BitmapBitsAreTopDownWordAlignedRows) {
  const BYTE mono[4] = {0xA0, 0x00, 0x50, 0x00};  // 3 x 2, rows of 2 bytes
  HBITMAP bitmap = CreateBitmap(3, 2, 1, 1, mono);
  BYTE out[4] = {};
  EXPECT_EQ(GetBitmapBits(bitmap, sizeof(out), out), 4);
  EXPECT_EQ(std::memcmp(out, mono, 4), 0);
  EXPECT_EQ(GetBitmapBits(bitmap, 0, nullptr), 4);
  {
    Canvas canvas(bitmap);
    EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 1), RGB(255, 255, 255));
  }
  // A bottom-up DIB section reports its rows top row first too.
  InfoBuffer info = MakeInfo(1, 2, 32);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  static_cast<DWORD*>(bits)[0] = 0x111111;  // bottom row
  static_cast<DWORD*>(bits)[1] = 0x222222;  // top row
  DWORD rows[2] = {};
  EXPECT_EQ(GetBitmapBits(dib, sizeof(rows), rows), 8);
  EXPECT_EQ(rows[0], 0x222222u);
  EXPECT_EQ(rows[1], 0x111111u);
  DeleteObject(dib);
}

TEST(DibBits, QImageBridgeSharesTheBitmapMemory) {
  HBITMAP bitmap = test::ColourBitmap(3, 2);
  Canvas canvas(bitmap);
  SetPixel(canvas.dc(), 2, 1, RGB(10, 20, 30));
  QImage image = BitmapAsQImage(bitmap);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
  EXPECT_EQ(image.pixel(2, 1) & 0xFFFFFF, 0x0A141Eu);
  // Every pixel of a device bitmap is opaque, as a Format_RGB32 image must be: fresh ones,
  // drawn ones and ones filled from raw bytes.
  for (int bits : {24, 32}) {
    InfoBuffer source = MakeInfo(3, 2, bits);
    Canvas sourceCanvas(CreateDIBSection(nullptr, source.info(), DIB_RGB_COLORS, nullptr, nullptr, 0));
    BitBlt(canvas.dc(), 0, 0, 2, 2, sourceCanvas.dc(), 0, 0, SRCCOPY);
  }
  const DWORD raw[2] = {0x00123456, 0x00ABCDEF};
  HBITMAP fromBytes = CreateBitmap(2, 1, 1, 32, raw);
  for (const QImage& check : {image, BitmapAsQImage(fromBytes)})
    for (int y = 0; y < check.height(); ++y)
      for (int x = 0; x < check.width(); ++x) EXPECT_EQ(qAlpha(check.pixel(x, y)), 255) << x << "," << y;
  EXPECT_EQ(BitmapAsQImage(fromBytes).pixel(1, 0) & 0xFFFFFF, 0xABCDEFu);
  DeleteObject(fromBytes);
  int stride = 0;
  EXPECT_EQ(BitmapPixels(bitmap, &stride), static_cast<void*>(image.bits()));
  EXPECT_EQ(stride, 12);

  InfoBuffer info = MakeInfo(2, 2, 24);
  HBITMAP dib = CreateDIBSection(nullptr, info.info(), DIB_RGB_COLORS, nullptr, nullptr, 0);
  EXPECT_TRUE(BitmapAsQImage(dib).isNull());  // not 32-bit
  EXPECT_LT(BitmapPixels(dib, &stride) != nullptr ? stride : 0, 0);
  DeleteObject(dib);
}

}  // namespace
}  // namespace lumivane
