// The picture container, the format registry and the still-image control.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "bmp_builder.h"
#include "framework/exception.h"
#include "picture/bitmap.h"
#include "picture/clipboard_formats.h"
#include "picture/file_formats_list.h"
#include "picture/icon.h"
#include "picture/image.h"
#include "picture/metafile.h"
#include "picture/picture.h"

namespace lumivane::test {
namespace {

class TMyBitmap : public TBitmap {
  LUMIVANE_GRAPHIC_CLASS(TMyBitmap, TBitmap)
};
class TMyIcon : public TIcon {
  LUMIVANE_GRAPHIC_CLASS(TMyIcon, TIcon)
};

Bytes SmallBmp(uint8_t grey) { return BmpFile(InfoHeader(3, 2, 24), {}, Bytes(24, grey)); }

class TempFiles {
 public:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = dir_.path().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

 private:
  QTemporaryDir dir_;
};

TEST(Registry, BuiltInEntriesInOrderAndClassReferences) {
  TPicture picture;  // makes sure the registries exist
  const TFileFormatsList& list = FileFormatRegistry();
  ASSERT_GE(list.Count(), 4);
  const char* extensions[] = {"wmf", "emf", "ico", "bmp"};
  const char* descriptions[] = {"Metafiles", "Enhanced Metafiles", "Icons", "Bitmaps"};
  const TGraphicClass* classes[] = {GraphicClassOf<TMetafile>(), GraphicClassOf<TMetafile>(),
                                    GraphicClassOf<TIcon>(), GraphicClassOf<TBitmap>()};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.Items(i).Extension, extensions[i]);
    EXPECT_EQ(list.Items(i).Description, descriptions[i]);
    EXPECT_EQ(list.Items(i).GraphicClass, classes[i]);
  }
  EXPECT_EQ(list.FindByExtension("BMP"), GraphicClassOf<TBitmap>());
  EXPECT_EQ(list.FindByExtension("jpe"), nullptr);
  EXPECT_EQ(list.FindByClassName("TIcon"), GraphicClassOf<TIcon>());
  EXPECT_EQ(list.FindByClassName("ticon"), nullptr);
  EXPECT_EQ(ClipboardFormatRegistry().FindFormat(CF_BITMAP), GraphicClassOf<TBitmap>());

  EXPECT_TRUE(GraphicClassOf<TMyBitmap>()->InheritsFrom(GraphicClassOf<TGraphic>()));
  EXPECT_FALSE(GraphicClassOf<TBitmap>()->InheritsFrom(GraphicClassOf<TMyBitmap>()));
  EXPECT_EQ(GraphicClassOf<TMyBitmap>()->Create()->GraphicClass(), GraphicClassOf<TMyBitmap>());
  EXPECT_THROW(GraphicClassOf<TGraphic>()->Create(), EAbstractError);

  const uint16_t id = RegisterClipboardFormatA("Test Image");
  EXPECT_GE(id, 0xC000);
  EXPECT_EQ(RegisterClipboardFormatA("test image"), id);
  EXPECT_NE(RegisterClipboardFormatA("Other Image"), id);
}

TEST(Registry, LaterRegistrationWinsAndUnregisterTakesDerivedClasses) {
  TPicture::RegisterGraphicFormat("TST", "Test", GraphicClassOf<TMyIcon>());
  TPicture::RegisterGraphicFormat("tst", "Test", GraphicClassOf<TMyBitmap>());
  TPicture::RegisterGraphicFormat("tst2", "Test", GraphicClassOf<TMyBitmap>());
  TPicture::RegisterGraphicClipboardFormat(0xC123, GraphicClassOf<TMyBitmap>());
  EXPECT_EQ(FileFormatRegistry().FindByExtension("tst"), GraphicClassOf<TMyBitmap>());
  TPicture::UnregisterGraphicFormats(GraphicClassOf<TMyBitmap>());
  EXPECT_EQ(FileFormatRegistry().FindByExtension("tst"), GraphicClassOf<TMyIcon>());
  EXPECT_EQ(FileFormatRegistry().FindByExtension("tst2"), nullptr);
  EXPECT_EQ(ClipboardFormatRegistry().FindFormat(0xC123), nullptr);
  // Unregistering a base class removes its derived classes' entries, the base's own stay unless
  // they are the class itself.
  TPicture::UnregisterGraphicFormats(GraphicClassOf<TIcon>());
  EXPECT_EQ(FileFormatRegistry().FindByExtension("tst"), nullptr);
  EXPECT_EQ(FileFormatRegistry().FindByExtension("ico"), nullptr);
  TPicture::RegisterGraphicFormat("ico", "Icons", GraphicClassOf<TIcon>());
  EXPECT_EQ(FileFormatRegistry().FindByExtension("ico"), GraphicClassOf<TIcon>());
}

void ExpectUnknown(TPicture& picture, const std::string& path, const std::string& ext) {
  try {
    picture.ReadFromFile(path);
    ADD_FAILURE() << path;
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (." + ext + ")");
  }
}

TEST(Picture, ReadFromFileChoosesByExtensionAndKeepsTheOldGraphicOnFailure) {
  TempFiles files;
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &picture);
    ++changes;
  };
  EXPECT_EQ(picture.ImageWidth(), 0);
  picture.ReadFromFile(files.Write("A.BMP", SmallBmp(0x40)));
  EXPECT_EQ(changes, 1);
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.ImageWidth(), 3);
  TGraphic* loaded = picture.Graphic();

  Bytes corrupt = SmallBmp(0);
  corrupt[0] = 'Z';
  EXPECT_THROW(picture.ReadFromFile(files.Write("bad.bmp", corrupt)), EInvalidGraphic);
  EXPECT_THROW(picture.ReadFromFile(files.Write("missing_dir/none.bmp", {})), EFOpenError);
  ExpectUnknown(picture, files.Write("photo.jpe", SmallBmp(1)), "jpe");
  ExpectUnknown(picture, files.Write("Photo.JPE", SmallBmp(1)), "JPE");
  ExpectUnknown(picture, files.Write("noextension", SmallBmp(1)), "");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picture.Graphic(), loaded);

  picture.ReadFromFile(files.Write("i.ico", IconFile({IconEntryLayout{}})));
  EXPECT_EQ(changes, 2);
  EXPECT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);
  picture.ReadFromFile(files.Write("m.wmf", {}));
  EXPECT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
  EXPECT_THROW(picture.ReadFromFile(files.Write("t.emf", Bytes(50, 'x'))), EInvalidGraphic);
  // An enhanced header whose bounds span more than 2^31 pixels is refused, not overflowed.
  Bytes emf(44, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) emf[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 1);
  put32(8, 0x80000000u);   // left INT_MIN
  put32(16, 0x7FFFFFFFu);  // right INT_MAX
  put32(40, 0x464D4520);   // " EMF"
  EXPECT_THROW(picture.ReadFromFile(files.Write("huge.emf", emf)), EInvalidGraphic);
}

TEST(Picture, GraphicSetterCopiesAndStoredDataRoundTrips) {
  TBitmap bitmap;
  LoadBytes(bitmap, SmallBmp(0x80));
  TPicture picture;
  picture.SetGraphic(&bitmap);
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_NE(picture.Graphic(), &bitmap);
  EXPECT_TRUE(picture.Graphic()->SameImageAs(&bitmap));
  // The held graphic's changes reach the picture.
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.Graphic()->SetTransparent(true);
  EXPECT_EQ(changes, 1);

  TMemoryStream data;
  picture.WriteStoredData(data);
  EXPECT_EQ(data.Memory()[0], 7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data.Memory()) + 1, 7), "TBitmap");
  data.SetPosition(0);
  TPicture back;
  back.ReadStoredData(data);
  ASSERT_NE(back.Graphic(), nullptr);
  EXPECT_TRUE(back.Graphic()->SameImageAs(&bitmap));
  EXPECT_FALSE(back.ShouldWriteStoredData(&picture));
  TPicture empty;
  EXPECT_FALSE(empty.ShouldWriteStoredData(nullptr));
  EXPECT_TRUE(back.ShouldWriteStoredData(&empty));
  TMemoryStream nothing;
  empty.WriteStoredData(nothing);
  EXPECT_EQ(nothing.Size(), 1);

  // An unknown class name empties the picture.
  TMemoryStream unknown;
  unknown.WriteByte(4);
  unknown.WriteBuffer("TFoo", 4);
  unknown.WriteDWord(123);
  unknown.SetPosition(0);
  back.ReadStoredData(unknown);
  EXPECT_EQ(back.Graphic(), nullptr);

  TPicture copy;
  copy.AssignFrom(&picture);
  EXPECT_TRUE(copy.Graphic()->SameImageAs(picture.Graphic()));
  TBitmap target;
  target.AssignFrom(&copy);
  EXPECT_EQ(target.ImageWidth(), 3);
  copy.AssignFrom(nullptr);
  EXPECT_EQ(copy.Graphic(), nullptr);
  // Stream reading goes through a bitmap.
  TMemoryStream stream;
  stream.Assign(SmallBmp(3));
  copy.ReadFromStream(stream);
  EXPECT_EQ(copy.ImageHeight(), 2);
}

TEST(Image, AutoSizeStretchAndPainting) {
  TempFiles files;
  TImage image(nullptr);
  EXPECT_EQ(image.Width(), 105);
  image.SetAutoSize(true);
  image.Picture().ReadFromFile(files.Write("p.bmp", SmallBmp(0x20)));
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Height(), 2);
  // With AutoSize on, bounds keep the picture's size; off, they are free.
  image.SetBounds(5, 6, 100, 100);
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Left(), 5);
  image.SetAutoSize(false);
  image.SetBounds(0, 0, 12, 8);
  EXPECT_EQ(image.DestRect(), Rect(0, 0, 3, 2));
  image.SetCenter(true);
  EXPECT_EQ(image.DestRect(), Rect(4, 3, 7, 5));
  image.SetStretch(true);
  EXPECT_EQ(image.DestRect(), Rect(0, 0, 12, 8));
  // Switching AutoSize on takes the picture's size at once.
  image.SetAutoSize(true);
  EXPECT_EQ(image.Width(), 3);

  // Painting draws the picture stretched into the control.
  image.SetAutoSize(false);
  image.SetBounds(0, 0, 6, 4);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(6, 4);
  image.PaintWindow(target.Canvas().Handle());
  EXPECT_EQ(PixelAt(target, 5, 3), 0x202020u);
  EXPECT_EQ(PixelAt(target, 0, 0), 0x202020u);
}

}  // namespace
}  // namespace lumivane::test
