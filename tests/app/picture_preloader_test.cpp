// Decoding ahead: which decoded pictures may be handed out (changed, vanished and replaced files),
// work thrown away for pictures passed over, the bound on pictures held, and a window stepping
// with decoding ahead showing what it shows without.
#include "app/picture_preloader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/status_bar.h"
#include "picture/bitmap.h"
#include "picture/fitted_copy.h"
#include "picture/graphic.h"
#include "picture/image.h"
#include "platform/current_directory.h"
#include "platform/path_conversion.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A 24-bit bottom-up bitmap file of one colour (0xRRGGBB).
// A 24-bit bitmap file of one colour or, striped, of fine stripes in that colour and its inverse
// (what shows any difference in how a picture is shrunk).
void WriteBmp(const fs::path& path, int width, int height, uint32_t colour, bool striped = false) {
  const int rowBytes = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(rowBytes) * height, '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t c = striped && (x / 3 + y / 2) % 2 != 0 ? ~colour : colour;
      char* p = pixels.data() + static_cast<size_t>(y) * rowBytes + x * 3;
      p[0] = static_cast<char>(c & 0xFF);
      p[1] = static_cast<char>((c >> 8) & 0xFF);
      p[2] = static_cast<char>((c >> 16) & 0xFF);
    }
  std::string file = "BM";
  auto le = [&file](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  le(54 + static_cast<uint32_t>(pixels.size()), 4);
  le(0, 4);
  le(54, 4);
  le(40, 4);
  le(static_cast<uint32_t>(width), 4);
  le(static_cast<uint32_t>(height), 4);
  le(1, 2);
  le(24, 2);
  for (int i = 0; i < 6; ++i) le(0, 4);
  std::ofstream(path, std::ios::binary) << file << pixels;
}

class PreloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivane-ahead-XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) { return NativeToProgramPath((dir_ / name).string()); }
  std::string Bmp(const std::string& name, int width, int height, uint32_t colour = 0x808080) {
    WriteBmp(dir_ / name, width, height, colour);
    return Path(name);
  }
  std::string StripedBmp(const std::string& name, int width, int height, uint32_t colour) {
    WriteBmp(dir_ / name, width, height, colour, true);
    return Path(name);
  }
  static int WidthOf(TGraphic* g) { return g == nullptr ? -1 : g->ImageWidth(); }

  fs::path dir_;
};

// Options that decode a neighbour as soon as it is wished for.
TPicturePreloader::TOptions Eager() {
  TPicturePreloader::TOptions options;
  options.Settle = 0ms;
  options.AfterRequest = 0ms;
  options.LowerPriority = false;
  return options;
}

TEST_F(PreloaderTest, HandsOutAPictureOnlyWhileItsFileIsUnchanged) {
  const std::string a = Bmp("a.bmp", 30, 20);
  const std::string b = Bmp("b.bmp", 40, 20);
  const std::string c = Bmp("c.bmp", 50, 20);
  const std::string d = Bmp("d.bmp", 60, 20);
  TPicturePreloader preloader(Eager());
  preloader.Want("", {a, b, c});
  preloader.WaitIdle();
  EXPECT_EQ(WidthOf(preloader.Find(a, TPicturePreloader::WaitNever)), 30);
  EXPECT_EQ(preloader.DecodeCount(), 3u);

  // Rewritten with other contents: read again, not handed out.
  WriteBmp(dir_ / "a.bmp", 31, 20, 0x808080);
  EXPECT_EQ(preloader.Find(a, TPicturePreloader::WaitNever), nullptr);
  // Vanished.
  fs::remove(dir_ / "b.bmp");
  EXPECT_EQ(preloader.Find(b, TPicturePreloader::WaitNever), nullptr);
  // Replaced by another file of the same size and time (a new inode).
  struct stat before {};
  ASSERT_EQ(stat((dir_ / "c.bmp").c_str(), &before), 0);
  WriteBmp(dir_ / "other.bmp", 50, 20, 0xFF0000);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir_ / "other.bmp").c_str(), times, 0), 0);
  fs::rename(dir_ / "other.bmp", dir_ / "c.bmp");
  EXPECT_EQ(preloader.Find(c, TPicturePreloader::WaitNever), nullptr);
  // Never wished for.
  EXPECT_EQ(preloader.Find(d, TPicturePreloader::WaitNever), nullptr);

  // Wished for again: the changed file is decoded afresh and then handed out.
  preloader.Want("", {a, c});
  preloader.WaitIdle();
  EXPECT_EQ(WidthOf(preloader.Find(a, TPicturePreloader::WaitNever)), 31);
  TGraphic* replaced = preloader.Find(c, TPicturePreloader::WaitNever);
  ASSERT_NE(replaced, nullptr);
  auto* bitmap = dynamic_cast<TBitmap*>(replaced);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(bitmap->ScanLine(0))[2], 0xFF) << "the new file's red pixels";
}

TEST_F(PreloaderTest, HoldsAtMostItsCapacityAndNeverDecodesTheShownPictureForItself) {
  std::vector<std::string> files;
  for (int i = 0; i < 6; ++i) files.push_back(Bmp("f" + std::to_string(i) + ".bmp", 10 + i, 10));
  TPicturePreloader preloader(Eager());  // three pictures
  preloader.Want(files[0], {files[1], files[2], files[3], files[4]});
  preloader.WaitIdle();
  EXPECT_EQ(preloader.DecodeCount(), 2u) << "the shown picture takes one place and is not decoded";
  EXPECT_EQ(preloader.HeldCount(), 2u);
  EXPECT_EQ(WidthOf(preloader.Find(files[1], TPicturePreloader::WaitNever)), 11);
  EXPECT_EQ(preloader.Find(files[3], TPicturePreloader::WaitNever), nullptr);

  // Stepping on: the picture now shown was held and stays; the one left behind is kept as the
  // way back, the oldest goes.
  for (int shown = 1; shown < 5; ++shown) {
    preloader.Want(files[shown], {files[shown + 1], files[shown - 1]});
    preloader.WaitIdle();
    EXPECT_LE(preloader.HeldCount(), 3u);
    EXPECT_NE(preloader.Find(files[shown], TPicturePreloader::WaitNever), nullptr);
    EXPECT_NE(preloader.Find(files[shown - 1], TPicturePreloader::WaitNever), nullptr);
  }
  EXPECT_EQ(preloader.Find(files[2], TPicturePreloader::WaitNever), nullptr);
  EXPECT_EQ(preloader.DecodeCount(), 6u) << "every picture decoded once";
}

TEST_F(PreloaderTest, PicturesPassedOverInABurstAreNotDecoded) {
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) files.push_back(Bmp("g" + std::to_string(i) + ".bmp", 10 + i, 10));
  TPicturePreloader::TOptions options = Eager();
  options.Settle = 1h;  // the keys keep coming
  TPicturePreloader preloader(options);
  for (int shown = 0; shown < 7; ++shown) preloader.Want(files[shown], {files[shown + 1]});
  EXPECT_EQ(preloader.DecodeCount(), 0u);
  EXPECT_EQ(preloader.Find(files[7], TPicturePreloader::WaitNever), nullptr) << "a key does not wait";
  EXPECT_EQ(preloader.DecodeCount(), 0u);
  // The command line's picture is waited for even when queued: that makes it urgent.
  EXPECT_EQ(WidthOf(preloader.Find(files[7], TPicturePreloader::WaitAlways)), 17);
  EXPECT_EQ(preloader.DecodeCount(), 1u);
}

// The first picture shown (a command-line animation, which is not decoded ahead) has the machine
// to itself for a while: its neighbours wait, unless the user asks for one of them.
TEST_F(PreloaderTest, NeighboursWaitAfterTheFirstPictureIsShown) {
  const std::string shown = Bmp("shown.bmp", 10, 10);
  const std::string next = Bmp("next.bmp", 12, 10);
  TPicturePreloader::TOptions options = Eager();
  options.AfterRequest = 1h;
  TPicturePreloader preloader(options);
  preloader.Want(shown, {next});
  // Long enough for a wrong decode of this tiny file to show.
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(preloader.DecodeCount(), 0u);
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(preloader.Find(next, TPicturePreloader::WaitNever), nullptr);
  EXPECT_EQ(WidthOf(preloader.Find(next, TPicturePreloader::WaitAlways)), 12);
}

// A neighbour is made ready for the screen too: its filtered copy at the size the window will
// draw it, the same pixels the display step would make, handed over once.
TEST_F(PreloaderTest, MakesTheFittedCopyOfANeighbourAtTheSizeItIsShown) {
  const std::string shown = Bmp("a.bmp", 10, 10);
  const std::string next = StripedBmp("b.bmp", 300, 200, 0x2060A0);
  const std::string small = Bmp("c.bmp", 20, 10);
  TPicturePreloader preloader(Eager());
  preloader.Want(shown, {next, small}, [](int w, int h) {
    return TPicturePreloader::TShownSize{std::min(w, 100), std::min(h, 66)};
  });
  preloader.WaitIdle();
  TGraphic* decoded = preloader.Find(next, TPicturePreloader::WaitNever);
  ASSERT_NE(decoded, nullptr);
  std::unique_ptr<TBitmap> copy = preloader.TakeFittedCopy(decoded);
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->ImageWidth(), 100);
  ASSERT_EQ(copy->ImageHeight(), 66);
  std::unique_ptr<TBitmap> own = TFittedCopy::Make(*decoded, 100, 66);
  ASSERT_NE(own, nullptr);
  for (int y = 0; y < 66; ++y)
    ASSERT_EQ(std::memcmp(copy->ScanLine(y), own->ScanLine(y), 100 * 4), 0) << "row " << y;
  EXPECT_EQ(preloader.TakeFittedCopy(decoded), nullptr) << "handed over once";
  // A picture that is not drawn smaller has no copy.
  TGraphic* fits = preloader.Find(small, TPicturePreloader::WaitNever);
  ASSERT_NE(fits, nullptr);
  EXPECT_EQ(preloader.TakeFittedCopy(fits), nullptr);
}

TEST_F(PreloaderTest, WorkForAPictureLeftOutIsThrownAway) {
  const std::string a = Bmp("a.bmp", 30, 20);
  const std::string b = Bmp("b.bmp", 40, 20);
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool release = false;
  TPicturePreloader::TOptions options = Eager();
  options.Decode = [&](const TGraphicClass* Class, TStream& Bytes) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      started = true;
      changed.notify_all();
      changed.wait(lock, [&] { return release; });
    }
    return TPicturePreloader::DecodeGraphic(Class, Bytes);
  };
  TPicturePreloader preloader(options);
  preloader.Want("", {a});
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return started; });
  }
  preloader.Want("", {b});  // a is being decoded and no longer wanted
  EXPECT_EQ(preloader.Find(a, TPicturePreloader::WaitAlways), nullptr)
      << "nothing to wait for: it was left out";
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  preloader.WaitIdle();
  EXPECT_EQ(preloader.Find(a, TPicturePreloader::WaitNever), nullptr);
  EXPECT_EQ(WidthOf(preloader.Find(b, TPicturePreloader::WaitNever)), 40);
  EXPECT_EQ(preloader.HeldCount(), 1u);
}

TEST_F(PreloaderTest, OnlyFilesOfBitmapAndJpegKindsAreDecodedAhead) {
  const std::string gif = Path("anim.gif");
  std::ofstream(dir_ / "anim.gif") << "GIF89a";
  const std::string text = Path("notes.txt");
  std::ofstream(dir_ / "notes.txt") << "text";
  ASSERT_EQ(mkfifo((dir_ / "pipe.bmp").c_str(), 0600), 0);
  const std::string bad = Path("bad.bmp");
  std::ofstream(dir_ / "bad.bmp") << "BMnot a bitmap";
  EXPECT_EQ(TPicturePreloader::AheadClass(gif), nullptr);
  EXPECT_EQ(TPicturePreloader::AheadClass(text), nullptr);
  EXPECT_NE(TPicturePreloader::AheadClass(Path("x.JPG")), nullptr);

  TPicturePreloader preloader(Eager());
  preloader.Want("", {gif, text, Path("pipe.bmp")});
  preloader.WaitIdle();
  EXPECT_EQ(preloader.DecodeCount(), 0u) << "a FIFO is never opened";
  preloader.Want("", {bad});
  preloader.WaitIdle();
  EXPECT_EQ(preloader.Find(bad, TPicturePreloader::WaitAlways), nullptr)
      << "the display step meets the failure itself";
  preloader.Want("", {bad});
  preloader.WaitIdle();
  EXPECT_EQ(preloader.DecodeCount(), 1u) << "an unchanged bad file is not tried again";
}

TEST_F(PreloaderTest, ARequestedPictureIsWaitedForUnderAnotherFormOfItsPath) {
  const std::string a = Bmp("a.bmp", 33, 20);
  TPicturePreloader preloader;
  preloader.Request(a);
  // The file list names it by its directory and name, here with '/' separators.
  std::string other = a;
  for (char& c : other)
    if (c == '\\') c = '/';
  EXPECT_EQ(WidthOf(preloader.Find(other, TPicturePreloader::WaitAlways)), 33);
  EXPECT_EQ(preloader.DecodeCount(), 1u);
}

// ---- the window ---------------------------------------------------------------------------------

class AheadWindowTest : public PreloaderTest {
 protected:
  void TearDown() override {
    for (TForm1* form : forms_) {
      form->DoDestroy();
      delete form;
    }
    SetCurrentDirectoryA("C:\\");
    PreloaderTest::TearDown();
  }
  TForm1* Open(bool ahead) {
    SetCurrentDirectoryA(NativeToProgramPath(dir_.string()));
    auto* form = new TForm1(nullptr);
    forms_.push_back(form);
    form->SettingsPath = NativeToProgramPath((dir_ / "Lumivane.dat").string());
    if (ahead) form->SetPreloader(std::make_unique<TPicturePreloader>(Eager()));
    form->Show();
    Application->ProcessMessages();
    return form;
  }
  // What the window shows: caption, status panels, the image control's bounds, and its pixels.
  static std::string State(TForm1* form) {
    std::string s = form->Caption();
    for (int i = 0; i < 3; ++i) s += "|" + form->StatusBar1->Panels()[i]->Text();
    const TRect r = form->Image1->BoundsRect();
    s += "|" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + (form->Image1->Visible() ? " shown" : " hidden");
    return s;
  }
  // A window without and one with decoding ahead, both 900 x 700 and showing the folder's first
  // picture.
  std::pair<TForm1*, TForm1*> OpenBoth() {
    TForm1* plain = Open(false);
    TForm1* ahead = Open(true);
    for (TForm1* form : {plain, ahead}) {
      form->SetBounds(0, 0, 900, 700);
      form->FileListBox1->SetItemIndex(0);
      form->FileListBox1Click(form->FileListBox1);
    }
    return {plain, ahead};
  }
  static void PressInBoth(TForm1* plain, TForm1* ahead, uint16_t key) {
    for (TForm1* form : {plain, ahead}) {
      uint16_t k = key;
      form->FormKeyDown(form, k, TShiftState{});
      Application->ProcessMessages();
    }
  }
  static QImage Pixels(TForm1* form) {
    return form->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  std::vector<TForm1*> forms_;
};

TEST_F(AheadWindowTest, SteppingShowsTheSameWithAndWithoutDecodingAhead) {
  Bmp("a.bmp", 300, 200, 0xFF0000);
  Bmp("b.bmp", 2000, 500, 0x00FF00);
  Bmp("c.bmp", 200, 900, 0x0000FF);
  std::ofstream(dir_ / "d.bmp") << "BMbroken";
  Bmp("e.bmp", 640, 480, 0xFFFF00);
  const auto [plain, ahead] = OpenBoth();
  const uint16_t keys[] = {VK_NEXT,  VK_NEXT, VK_NEXT,  VK_NEXT, VK_PRIOR,
                           VK_PRIOR, VK_NEXT, VK_PRIOR, VK_PRIOR};
  int step = 0;
  for (uint16_t key : keys) {
    ahead->Preloader()->WaitIdle();  // the neighbour is ready, as at a person's pace
    if (step == 5) WriteBmp(dir_ / "b.bmp", 120, 100, 0x00FFFF);  // changed after it was decoded ahead
    PressInBoth(plain, ahead, key);
    SCOPED_TRACE("step " + std::to_string(step++));
    ASSERT_EQ(State(ahead), State(plain));
    ASSERT_TRUE(Pixels(ahead) == Pixels(plain));
  }
  EXPECT_GE(ahead->Preloader()->DecodeCount(), 3u);
}

// Pictures shrunk to fit are drawn from the copy made with them ahead: the window shows exactly
// what it shows when it filters them itself.
TEST_F(AheadWindowTest, FittedPicturesLookTheSameFromACopyMadeAhead) {
  StripedBmp("a.bmp", 1500, 1000, 0xC03010);
  StripedBmp("b.bmp", 900, 1400, 0x10A0C0);
  StripedBmp("c.bmp", 2000, 700, 0x808020);
  const auto [plain, ahead] = OpenBoth();
  for (const uint16_t key : {VK_NEXT, VK_NEXT, VK_PRIOR}) {
    ahead->Preloader()->WaitIdle();
    PressInBoth(plain, ahead, key);
    ASSERT_EQ(State(ahead), State(plain));
    ASSERT_TRUE(Pixels(ahead) == Pixels(plain));
  }
}

// The display step takes a picture decoded ahead instead of reading its file again. The file is
// rewritten in place with other pixels, its size and time kept, so only the pixels tell which
// bytes the shown picture came from.
TEST_F(AheadWindowTest, ANeighbourDecodedAheadIsShownWithoutReadingItsFileAgain) {
  Bmp("a.bmp", 30, 20, 0xFF0000);
  Bmp("b.bmp", 40, 20, 0x00FF00);
  TForm1* form = Open(true);
  form->FileListBox1->SetItemIndex(0);
  form->FileListBox1Click(form->FileListBox1);
  form->Preloader()->WaitIdle();
  ASSERT_EQ(form->Preloader()->DecodeCount(), 1u) << "b.bmp, and only it, decoded ahead";

  struct stat before {};
  ASSERT_EQ(stat((dir_ / "b.bmp").c_str(), &before), 0);
  WriteBmp(dir_ / "b.bmp", 40, 20, 0x0000FF);
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir_ / "b.bmp").c_str(), times, 0), 0);
  struct stat after {};
  ASSERT_EQ(stat((dir_ / "b.bmp").c_str(), &after), 0);
  ASSERT_EQ(after.st_ino, before.st_ino);

  uint16_t key = VK_NEXT;
  form->FormKeyDown(form, key, TShiftState{});
  ASSERT_EQ(form->FileListBox1->ItemIndex(), 1);
  auto* bitmap = dynamic_cast<TBitmap*>(form->Image1->Picture().Graphic());
  ASSERT_NE(bitmap, nullptr);
  const auto* pixel = static_cast<const uint8_t*>(bitmap->ScanLine(0));
  EXPECT_EQ(pixel[1], 0xFF) << "the green pixels decoded ahead";
  EXPECT_EQ(pixel[0], 0x00) << "not the blue ones now in the file";
}

}  // namespace
}  // namespace lumivane
