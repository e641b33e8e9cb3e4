// TJPEGImage: loading, decoding, progress, palettes, copies and failures.
#include <gtest/gtest.h>
#include <jerror.h>

#include <cstring>
#include <set>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "jpeg_test_images.h"
#include "picture/bitmap.h"
#include "picture/jpeg_image.h"
#include "picture/picture.h"
#include "platform/gdi/gdi.h"

namespace lumivane {
namespace {

std::string MessageFor(int code) { return "JPEG error #" + std::to_string(code); }

struct ProgressRecord {
  TProgressStage Stage;
  int Percent;
  bool RedrawNow;
  TRect R;
};

// Records every progress report of an image.
struct ProgressLog {
  explicit ProgressLog(TJPEGImage& image) {
    image.OnProgress = [this](TObject*, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                              const std::string& msg) {
      EXPECT_TRUE(msg.empty());
      Records.push_back({stage, percent, redraw, r});
    };
  }
  int Count(TProgressStage stage) const {
    int n = 0;
    for (const auto& r : Records) n += r.Stage == stage;
    return n;
  }
  std::vector<ProgressRecord> Records;
};

// A clock that moves 600 ms on every reading, so that every progress call passes the throttle.
uint32_t FakeNow = 0;
uint32_t FastClock() { return FakeNow += 600; }
uint32_t FrozenClock() { return FakeNow; }

class TJPEGImageTest : public testing::Test {
 protected:
  void SetUp() override {
    savedDefaults = DecodeDefaults;
    savedClock = JpegTickSource;
    FakeNow = 1000;
  }
  void TearDown() override {
    DecodeDefaults = savedDefaults;
    JpegTickSource = savedClock;
  }
  static void Load(TJPEGImage& image, const std::vector<uint8_t>& bytes) {
    auto stream = StreamOf(bytes);
    image.ReadFromStream(*stream);
  }

  TJPEGDefaults savedDefaults;
  TTickSource savedClock = nullptr;
};

TEST_F(TJPEGImageTest, ColourFileLoadsItsHeaderAndDecodesTo24BitsOnFirstNeed) {
  JpegOptions options;
  options.Width = 70;
  options.Height = 45;
  TJPEGImage image;
  EXPECT_TRUE(image.IsEmpty());
  int changes = 0;
  image.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &image);
    ++changes;
  };
  Load(image, MakeJpeg(options));
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(image.IsEmpty());
  EXPECT_FALSE(image.HasDecodedBitmap());  // the pixels wait until they are needed
  EXPECT_EQ(image.ImageWidth(), 70);
  EXPECT_EQ(image.ImageHeight(), 45);
  EXPECT_FALSE(image.Data().IsGray);
  EXPECT_FALSE(image.SaveProgressive);

  TBitmap* bitmap = image.DecodeBitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->PixelFormat(), pf24bit);
  EXPECT_EQ(bitmap->ImageWidth(), 70);
  EXPECT_EQ(bitmap->ImageHeight(), 45);
  EXPECT_LE(MaxPatternError(*bitmap, false), 12);
  // Red and blue must not be swapped: the pattern's left edge has no red, its right edge full red.
  EXPECT_LT(PixelOf(*bitmap, 0, 20).R, 20);
  EXPECT_GT(PixelOf(*bitmap, 69, 20).R, 235);
}

TEST_F(TJPEGImageTest, GrayFileDecodesTo8BitsWithAtMost236GrayLevels) {
  JpegOptions options;
  options.Width = 256;
  options.Height = 256;
  options.Gray = true;
  for (TJPEGOutputDepth depth : {Depth24, Depth8}) {
    TJPEGImage image;
    image.OutputDepth = depth;
    Load(image, MakeJpeg(options));
    EXPECT_TRUE(image.Data().IsGray);
    TBitmap* bitmap = image.DecodeBitmap();
    ASSERT_EQ(bitmap->PixelFormat(), pf8bit);
    PALETTEENTRY entries[256];
    UINT count = GetPaletteEntries(bitmap->PaletteHandle(), 0, 256, entries);
    EXPECT_GT(count, 200u);
    EXPECT_LE(count, 236u);
    for (UINT i = 0; i < count; ++i) {
      EXPECT_EQ(entries[i].peRed, entries[i].peGreen);
      EXPECT_EQ(entries[i].peRed, entries[i].peBlue);
    }
    std::set<int> used;
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) used.insert(static_cast<const uint8_t*>(bitmap->ScanLine(y))[x]);
    EXPECT_LT(*used.rbegin(), static_cast<int>(count));
    EXPECT_LE(MaxPatternError(*bitmap, true), 8);
  }
}

TEST_F(TJPEGImageTest, DepthSettingChoosesTheBitmapFormatForColourFiles) {
  JpegOptions options;
  options.Width = 80;
  options.Height = 60;
  DecodeDefaults.OutputDepth = Depth8;
  TJPEGImage image;  // takes the defaults
  EXPECT_EQ(image.OutputDepth, Depth8);
  Load(image, MakeJpeg(options));
  TBitmap* bitmap = image.DecodeBitmap();
  EXPECT_EQ(bitmap->PixelFormat(), pf8bit);
  PALETTEENTRY entries[256];
  EXPECT_LE(GetPaletteEntries(bitmap->PaletteHandle(), 0, 256, entries), 236u);
  EXPECT_LE(MaxPatternError(*bitmap, false), 40);  // quantized to 236 colours, dithered

  // GrayOutput turns a colour file into gray levels.
  TJPEGImage gray;
  gray.GrayOutput = true;
  Load(gray, MakeJpeg(options));
  TBitmap* grayBitmap = gray.DecodeBitmap();
  EXPECT_EQ(grayBitmap->PixelFormat(), pf8bit);
  Rgb p = PixelOf(*grayBitmap, 40, 30);
  EXPECT_EQ(p.R, p.G);
  EXPECT_EQ(p.G, p.B);
}

TEST_F(TJPEGImageTest, QuantizePaletteIsTheColourSetOf8BitOutput) {
  JpegOptions options;
  options.Width = 32;
  options.Height = 32;
  PALETTEENTRY two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + sizeof two);
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = 2;
  std::memcpy(log->palPalEntry, two, sizeof two);

  TJPEGImage image;
  image.OutputDepth = Depth8;
  Load(image, MakeJpeg(options));
  image.SetPaletteHandle(CreatePalette(log));
  TBitmap* bitmap = image.DecodeBitmap();
  ASSERT_EQ(bitmap->PixelFormat(), pf8bit);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      Rgb p = PixelOf(*bitmap, x, y);
      EXPECT_TRUE((p.R == 0 && p.G == 0 && p.B == 0) || (p.R == 255 && p.G == 255 && p.B == 255));
    }

  // Setting another palette drops the decoded bitmap and signals the change.
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  HPALETTE halftone = CreateHalftonePalette(nullptr);
  image.SetPaletteHandle(halftone);
  EXPECT_FALSE(image.HasDecodedBitmap());
  EXPECT_TRUE(image.PaletteModified);
  EXPECT_EQ(changes, 1);
  image.SetPaletteHandle(halftone);  // the same palette again: nothing happens
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image.PaletteHandle(), halftone);
}

TEST_F(TJPEGImageTest, ProgressiveFileDecodesInOneGoWithThrottledProgress) {
  JpegOptions options;
  options.Width = 160;
  options.Height = 120;
  options.Progressive = true;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  EXPECT_TRUE(image.SaveProgressive);
  ProgressLog log(image);
  JpegTickSource = FastClock;
  TBitmap* bitmap = image.DecodeBitmap();
  EXPECT_LE(MaxPatternError(*bitmap, false), 12);

  ASSERT_GE(log.Records.size(), 3u);
  EXPECT_EQ(log.Records.front().Stage, psStarting);
  EXPECT_EQ(log.Records.front().Percent, 0);
  EXPECT_EQ(log.Records.back().Stage, psEnding);
  EXPECT_EQ(log.Records.back().Percent, 100);
  EXPECT_TRUE(log.Records.back().RedrawNow);  // the load marked the palette modified
  EXPECT_EQ(log.Count(psStarting), 1);
  EXPECT_EQ(log.Count(psEnding), 1);
  EXPECT_GE(log.Count(psRunning), 2);
  int last = -1;
  for (const auto& r : log.Records) {
    if (r.Stage != psRunning) continue;
    EXPECT_GT(r.Percent, last) << "a report without a new percentage";
    EXPECT_LE(r.Percent, 100);
    last = r.Percent;
    EXPECT_EQ(r.R.Left, 0);
    EXPECT_EQ(r.R.Right, 160);
    EXPECT_LE(r.R.Top, r.R.Bottom);
    EXPECT_EQ(r.RedrawNow, r.R.Height() >= 4);
  }
}

TEST_F(TJPEGImageTest, ProgressWithinTheThrottleIntervalStaysSilent) {
  JpegOptions options;
  options.Width = 160;
  options.Height = 120;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  ProgressLog log(image);
  JpegTickSource = FrozenClock;  // less than 500 ms pass during the whole decode
  image.DecodeBitmap();
  EXPECT_EQ(log.Count(psRunning), 0);
  EXPECT_EQ(log.Count(psStarting), 1);
  EXPECT_EQ(log.Count(psEnding), 1);
}

TEST_F(TJPEGImageTest, ShowProgressiveGivesTheSamePixelsAsOnePass) {
  for (bool gray : {false, true}) {
    JpegOptions options;
    options.Width = 97;
    options.Height = 71;
    options.Progressive = true;
    options.Gray = gray;
    std::vector<uint8_t> bytes = MakeJpeg(options);
    TJPEGImage onePass, scanByScan;
    scanByScan.ShowProgressive = true;
    Load(onePass, bytes);
    Load(scanByScan, bytes);
    ProgressLog log(scanByScan);
    JpegTickSource = FastClock;
    TBitmap* a = onePass.DecodeBitmap();
    TBitmap* b = scanByScan.DecodeBitmap();
    ASSERT_EQ(a->PixelFormat(), b->PixelFormat());
    for (int y = 0; y < 71; ++y)
      for (int x = 0; x < 97; ++x) {
        Rgb pa = PixelOf(*a, x, y), pb = PixelOf(*b, x, y);
        ASSERT_TRUE(pa.R == pb.R && pa.G == pb.G && pa.B == pb.B)
            << "gray " << gray << " at " << x << "," << y;
      }
    EXPECT_EQ(log.Records.back().Stage, psEnding);
    EXPECT_EQ(log.Records.back().Percent, 100);
  }
}

TEST_F(TJPEGImageTest, DrawingTwiceDecodesOnce) {
  JpegOptions options;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  ProgressLog log(image);
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(64, 48);
  image.DrawInto(target.Canvas(), Rect(0, 0, 64, 48));
  TBitmap* first = image.DecodeBitmap();
  image.DrawInto(target.Canvas(), Rect(0, 0, 64, 48));
  EXPECT_EQ(image.DecodeBitmap(), first);
  EXPECT_EQ(log.Count(psStarting), 1);
  EXPECT_LE(MaxPatternError(target, false), 12);  // the drawn pixels are the picture's
}

TEST_F(TJPEGImageTest, FileCutAfterItsHeaderDecodesAsFarAsItGoes) {
  JpegOptions options;
  options.Width = 128;
  options.Height = 128;
  std::vector<uint8_t> bytes = MakeJpeg(options);
  bytes.resize(bytes.size() / 2);
  TJPEGImage image;
  Load(image, bytes);
  EXPECT_EQ(image.ImageWidth(), 128);
  ProgressLog log(image);
  TBitmap* bitmap = nullptr;
  EXPECT_NO_THROW(bitmap = image.DecodeBitmap());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->ImageHeight(), 128);
  EXPECT_LE(std::abs(PixelOf(*bitmap, 10, 5).G - PatternColour(10, 5, 128, 128).G), 12);
  EXPECT_EQ(log.Records.back().Percent, 100);
}

TEST_F(TJPEGImageTest, EmptyFileLoadsAndFailsAtItsFirstDraw) {
  TJPEGImage image;
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  Load(image, {});
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image.ImageWidth(), 0);
  EXPECT_EQ(image.ImageHeight(), 0);
  EXPECT_FALSE(image.IsEmpty());
  TBitmap target;
  target.SetSize(8, 8);
  try {
    image.DrawInto(target.Canvas(), Rect(0, 0, 8, 8));
    FAIL() << "drawing an empty file must fail";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message, MessageFor(JERR_INPUT_EMPTY));
  }
  // The failed decode left an (empty) bitmap, which later draws use without decoding again.
  EXPECT_NO_THROW(image.DrawInto(target.Canvas(), Rect(0, 0, 8, 8)));
}

TEST_F(TJPEGImageTest, NonJpegFileFailsAtLoadAndKeepsItsBytes) {
  std::vector<uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4};
  TJPEGImage image;
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  try {
    Load(image, bytes);
    FAIL() << "a GIF is not a JPEG";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message, MessageFor(JERR_NO_SOI));
  }
  EXPECT_EQ(changes, 0);
  ASSERT_NE(image.Data().CompressedStream, nullptr);
  EXPECT_EQ(image.Data().CompressedStream->Size(), 10);
  EXPECT_EQ(image.Data().CompressedStream->Memory()[0], 'G');
}

TEST_F(TJPEGImageTest, CancelledDecodeKeepsItsPartialBitmap) {
  JpegOptions options;
  options.Width = 64;
  options.Height = 256;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  std::vector<ProgressRecord> records;
  image.OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect& r,
                         const std::string&) {
    records.push_back({stage, percent, false, r});
    if (stage == psRunning && percent >= 30) throw EAbort("");
  };
  JpegTickSource = FastClock;
  TBitmap* bitmap = nullptr;
  EXPECT_NO_THROW(bitmap = image.DecodeBitmap());
  ASSERT_EQ(records.back().Stage, psEnding);
  EXPECT_EQ(records.back().Percent, 0);
  EXPECT_EQ(bitmap->ImageHeight(), 256);
  // The top rows are decoded, the bottom ones were never written (black).
  EXPECT_LE(std::abs(PixelOf(*bitmap, 32, 2).B - PatternColour(32, 2, 64, 256).B), 12);
  // Decoded rows run from no red to full red; rows never written are one colour.
  EXPECT_GT(PixelOf(*bitmap, 63, 2).R - PixelOf(*bitmap, 0, 2).R, 200);
  Rgb left = PixelOf(*bitmap, 0, 250), right = PixelOf(*bitmap, 63, 250);
  EXPECT_TRUE(left.R == right.R && left.G == right.G && left.B == right.B);
  EXPECT_EQ(image.DecodeBitmap(), bitmap);  // no second decode
}

TEST_F(TJPEGImageTest, OtherFailuresReportTheEndAndPropagate) {
  JpegOptions options;
  options.Height = 200;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  ProgressLog log(image);
  auto record = image.OnProgress;
  image.OnProgress = [&](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                         const std::string& msg) {
    record(sender, stage, percent, redraw, r, msg);
    if (stage == psRunning) throw EReadError("boom");
  };
  JpegTickSource = FastClock;
  EXPECT_THROW(image.DecodeBitmap(), EReadError);
  EXPECT_EQ(log.Count(psEnding), 1);
  EXPECT_EQ(log.Records.back().Stage, psEnding);
  EXPECT_EQ(log.Records.back().Percent, 0);
  // The partial bitmap stays and is not decoded again.
  ASSERT_TRUE(image.HasDecodedBitmap());
  EXPECT_EQ(image.DecodeBitmap()->ImageHeight(), 200);
  EXPECT_EQ(log.Count(psStarting), 1);
}

TEST_F(TJPEGImageTest, SizeCannotBeChanged) {
  TJPEGImage image;
  Load(image, MakeJpeg(JpegOptions{}));
  for (auto set : {&TJPEGImage::SetImageWidth, &TJPEGImage::SetImageHeight}) {
    try {
      (image.*set)(10);
      FAIL();
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message, "Cannot change the size of a JPEG image");
    }
  }
  EXPECT_EQ(image.ImageWidth(), 64);
}

TEST_F(TJPEGImageTest, ReducedScaleReportsAndDecodesTheScaledSize) {
  JpegOptions options;
  options.Width = 100;
  options.Height = 60;
  TJPEGImage image;
  image.ScaleShift = 2;
  Load(image, MakeJpeg(options));
  EXPECT_EQ(image.ImageWidth(), 25);
  EXPECT_EQ(image.ImageHeight(), 15);
  EXPECT_EQ(image.DecodeBitmap()->ImageWidth(), 25);
}

TEST_F(TJPEGImageTest, OddShapesDecode) {
  for (auto [w, h] : {std::pair{1, 1}, {300, 1}, {1, 300}, {17, 9}}) {
    JpegOptions options;
    options.Width = w;
    options.Height = h;
    TJPEGImage image;
    Load(image, MakeJpeg(options));
    TBitmap* bitmap = image.DecodeBitmap();
    EXPECT_EQ(bitmap->ImageWidth(), w);
    EXPECT_EQ(bitmap->ImageHeight(), h);
    EXPECT_LE(MaxPatternError(*bitmap, false), 24) << w << "x" << h;
  }
}

TEST_F(TJPEGImageTest, FourComponentFileDecodesToBlueGreenRed) {
  JpegOptions options;
  options.Cmyk = true;
  options.Width = 40;
  options.Height = 30;
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  TBitmap* bitmap = image.DecodeBitmap();
  EXPECT_EQ(bitmap->PixelFormat(), pf24bit);
  EXPECT_LE(MaxPatternError(*bitmap, false), 12);
}

TEST_F(TJPEGImageTest, FilesWhosePixelsDoNotFitABitmapRowAreRefused) {
  JpegOptions options;
  options.UnknownComponents = 2;  // neither palette indexes nor colour triples
  TJPEGImage image;
  Load(image, MakeJpeg(options));
  try {
    image.DecodeBitmap();
    FAIL() << "two components cannot be written into bitmap rows";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message, MessageFor(JERR_CONVERSION_NOTIMPL));
  }
}

TEST_F(TJPEGImageTest, CopiesShareDataAndCopyDecodedPixels) {
  std::vector<uint8_t> bytes = MakeJpeg(JpegOptions{});
  TJPEGImage source, copy, other;
  Load(source, bytes);
  Load(other, bytes);
  int changes = 0;
  copy.OnChange = [&](TObject*) { ++changes; };
  copy.AssignFrom(&source);
  EXPECT_EQ(&copy.Data(), &source.Data());
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(copy.HasDecodedBitmap());
  EXPECT_TRUE(copy.SameImageAs(&source));
  EXPECT_TRUE(copy.SameImageAs(&other));  // equal bytes
  copy.AssignFrom(&copy);                 // copying from itself keeps the data alive
  EXPECT_EQ(copy.ImageWidth(), 64);

  source.DecodeBitmap();
  copy.AssignFrom(&source);
  ASSERT_TRUE(copy.HasDecodedBitmap());
  EXPECT_LE(MaxPatternError(*copy.DecodeBitmap(), false), 12);

  // Into a bitmap: the bitmap takes the decoded pixels.
  TBitmap bitmap;
  bitmap.AssignFrom(&other);
  EXPECT_EQ(bitmap.ImageWidth(), 64);
  EXPECT_LE(MaxPatternError(bitmap, false), 12);

  // From a bitmap: no compressed data, the bitmap's pixels.
  TJPEGImage fromBitmap;
  fromBitmap.AssignFrom(&bitmap);
  EXPECT_EQ(fromBitmap.Data().CompressedStream, nullptr);
  EXPECT_FALSE(fromBitmap.IsEmpty());
  EXPECT_EQ(fromBitmap.ImageHeight(), 48);
  EXPECT_FALSE(fromBitmap.SameImageAs(&source));
  EXPECT_FALSE(source.SameImageAs(&bitmap));

  // Anything else is refused.
  struct NotAGraphic : TPersistent {
  } notAGraphic;
  EXPECT_THROW(fromBitmap.AssignFrom(&notAGraphic), EConvertError);
}

TEST_F(TJPEGImageTest, StoredDataAndWritingRoundTrip) {
  std::vector<uint8_t> bytes = MakeJpeg(JpegOptions{});
  TJPEGImage image;
  Load(image, bytes);
  TMemoryStream stored;
  image.WriteStoredData(stored);
  EXPECT_EQ(stored.Size(), static_cast<int64_t>(bytes.size()) + 4);
  stored.SetPosition(0);
  TJPEGImage restored;
  restored.ReadStoredData(stored);
  EXPECT_TRUE(restored.SameImageAs(&image));
  EXPECT_EQ(restored.ImageWidth(), 64);

  // A count beyond the stream's end is a read error, not a huge allocation.
  TMemoryStream lying;
  lying.WriteDWord(0x7FFFFFF0);
  lying.WriteBuffer(bytes.data(), 100);
  lying.SetPosition(0);
  EXPECT_THROW(restored.ReadStoredData(lying), EReadError);

  // An image made from a bitmap is compressed when written.
  TBitmap bitmap;
  bitmap.AssignFrom(&image);
  TJPEGImage fromBitmap;
  fromBitmap.AssignFrom(&bitmap);
  TMemoryStream written;
  fromBitmap.WriteToStream(written);
  written.SetPosition(0);
  TJPEGImage reread;
  reread.ReadFromStream(written);
  EXPECT_EQ(reread.ImageWidth(), 64);
  EXPECT_LE(MaxPatternError(*reread.DecodeBitmap(), false), 16);
}

TEST_F(TJPEGImageTest, RegistrationAddsBothExtensionsOnce) {
  RegisterJpegFormat();
  RegisterJpegFormat();
  EXPECT_EQ(DecodeDefaults.OutputDepth, Depth24);  // the screen has 32 bits per pixel

  JpegOptions options;
  std::vector<uint8_t> bytes = MakeJpeg(options);
  std::string dir = testing::TempDir();
  std::string path = dir + "/PHOTO.JPG";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  TPicture picture;
  picture.ReadFromFile(path);
  ASSERT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.ImageWidth(), 64);

  UnregisterJpegFormat();
  EXPECT_THROW(picture.ReadFromFile(path), EInvalidGraphic);
  RegisterJpegFormat();
  EXPECT_NO_THROW(picture.ReadFromFile(path));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace lumivane

namespace lumivane {
namespace {

TEST(TJPEGImageCopy, CopyingAnImageIntoItselfKeepsItsPixels) {
  JpegOptions options;
  auto stream = StreamOf(MakeJpeg(options));
  TJPEGImage image;
  image.ReadFromStream(*stream);
  const Rgb before = PixelOf(*image.DecodeBitmap(), 10, 10);
  image.AssignFrom(&image);  // must not free the bitmap it copies from
  ASSERT_TRUE(image.HasDecodedBitmap());
  const Rgb after = PixelOf(*image.DecodeBitmap(), 10, 10);
  EXPECT_EQ(after.R, before.R);
  EXPECT_EQ(after.G, before.G);
  EXPECT_EQ(after.B, before.B);
}

}  // namespace
}  // namespace lumivane
