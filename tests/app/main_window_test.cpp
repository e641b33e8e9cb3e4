// The main window on the offscreen platform: start-up and settings, the display step's layout,
// the keyboard commands, the slide show and the bottom refresh.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/panel.h"
#include "framework/screen.h"
#include "framework/scripted_dialog_service.h"
#include "framework/status_bar.h"
#include "framework/timer.h"
#include "gif/gif_animator.h"
#include "picture/image.h"
#include "picture/picture.h"
#include "platform/current_directory.h"
#include "platform/path_conversion.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

using Colour = std::function<uint32_t(int x, int y)>;  // 0xRRGGBB

void WriteBmp(const fs::path& path, int width, int height, const Colour& colour) {
  const int rowBytes = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(rowBytes) * height, '\0');
  for (int y = 0; y < height; ++y) {
    char* row = pixels.data() + static_cast<size_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      row[x * 3] = static_cast<char>(c & 0xFF);
      row[x * 3 + 1] = static_cast<char>((c >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((c >> 16) & 0xFF);
    }
  }
  auto le32 = [](std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto le16 = [](std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  std::string file = "BM";
  le32(file, 54 + static_cast<uint32_t>(pixels.size()));
  le32(file, 0);
  le32(file, 54);
  le32(file, 40);
  le32(file, static_cast<uint32_t>(width));
  le32(file, static_cast<uint32_t>(height));
  le16(file, 1);
  le16(file, 24);
  for (int i = 0; i < 6; ++i) le32(file, 0);
  std::ofstream(path, std::ios::binary) << file << pixels;
}

Colour Solid(uint32_t c) {
  return [c](int, int) { return c; };
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivane-app-XXXXXX";
    root_ = mkdtemp(pattern);
    pictures_ = root_ / "pictures";
    fs::create_directories(pictures_);
    settings_ = root_ / "Lumivane.dat";
    saved_dialogs_ = Application->SetDialogService(&dialogs_);
  }
  void TearDown() override {
    if (form_ != nullptr) {
      form_->DoDestroy();
      delete form_;
    }
    Application->SetDialogService(saved_dialogs_);
    SetCurrentDirectoryA("C:\\");
    fs::remove_all(root_);
  }

  // Creates and shows the window in the pictures folder.
  TForm1* Open(std::vector<std::string> arguments = {}) {
    SetCurrentDirectoryA(NativeToProgramPath(pictures_.string()));
    form_ = new TForm1(nullptr);
    form_->SettingsPath = NativeToProgramPath(settings_.string());
    form_->SetCommandLine(std::move(arguments));
    form_->Show();
    Application->ProcessMessages();
    return form_;
  }
  void WriteSettings(const std::string& text) { std::ofstream(settings_, std::ios::binary) << text; }
  std::string Panel(int index) { return form_->StatusBar1->Panels()[index]->Text(); }
  TRect ImageBounds() { return form_->Image1->BoundsRect(); }
  // Sizes the window so that the image panel is width x height (no window frame offscreen).
  void SizeImagePanel(int width, int height) {
    const int frameWidth = form_->Width() - form_->ClientWidth();
    const int frameHeight = form_->Height() - form_->ClientHeight();
    form_->SetBounds(0, 0, width + 160 + frameWidth, height + 19 + frameHeight);
    ASSERT_EQ(form_->Panel2->Width(), width);
    ASSERT_EQ(form_->Panel2->Height(), height);
  }
  void Select(const std::string& name) {
    form_->FileListBox1->SetSelectedName(name);
    form_->FileListBox1Click(form_->FileListBox1);
  }
  // Sends a key through the window system's path to the focused list: the form previews it, and
  // an exception escaping a handler goes to the error report.
  void Press(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers);
    QApplication::sendEvent(form_->FileListBox1->Widget(), &press);
  }
  // Runs the window's key handler alone; returns whether it consumed the key.
  bool KeyDown(uint16_t key) {
    form_->FormKeyDown(form_, key, TShiftState{});
    return key == 0;
  }
  std::string Native(const std::string& name) { return NativeToProgramPath((pictures_ / name).string()); }

  fs::path root_, pictures_, settings_;
  TScriptedDialogService dialogs_;
  TDialogService* saved_dialogs_ = nullptr;
  TForm1* form_ = nullptr;
};

TEST_F(MainWindowTest, StartsWithTitleStatusTextAndDefaultBoundsWithoutSettings) {
  Open();
  const std::string title =
      "Picture viewer for the keyboard: step, zoom, slide show, rename, copy, move, sort.";
  EXPECT_EQ(UnshiftText(TForm1::StoredTitleText).size(), 82u);
  EXPECT_EQ(UnshiftText(TForm1::StoredStatusText).size(), 22u);
  EXPECT_EQ(UnshiftText(""), "");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + title);
  EXPECT_EQ(Panel(3), "Press F1 for the keys.");
  EXPECT_EQ(form_->BoundsRect(), Bounds(0, 0, 1024, 743));
  EXPECT_EQ(form_->Panel1->Width(), 157);
  EXPECT_EQ(Panel(2).size(), 0u) << "nothing is displayed without an argument";
}

TEST_F(MainWindowTest, SettingsFileCases) {
  WriteSettings("");  // zero lines count as read: the design bounds stay
  Open();
  EXPECT_EQ(form_->BoundsRect(), Bounds(192, 107, 544, 400));
  delete form_;
  form_ = nullptr;

  WriteSettings("1\r\n2\r\n300\r\n400\r\n100\r\n20\r\n1500\r\n500\r\n600\r\n120\r\n");
  Open();  // ten lines: the second group wins, off-screen values are applied unchecked
  EXPECT_EQ(form_->BoundsRect(), Bounds(1500, 20, 600, 500));
  EXPECT_EQ(form_->Panel1->Width(), 120);
  delete form_;
  form_ = nullptr;

  WriteSettings("10\r\n20\r\n300\r\n400\r\n");
  Open();  // four lines fail on the fifth read: default bounds replace them
  EXPECT_EQ(form_->BoundsRect(), Bounds(0, 0, 1024, 743));
}

TEST_F(MainWindowTest, CloseWritesTheBoundsIncludingThoseSetByKeys) {
  Open();
  Press(Qt::Key_F9);
  EXPECT_EQ(form_->BoundsRect(), Bounds(0, 768 - 330, 320, 300));
  bool canClose = false;
  form_->FormCloseQuery(form_, canClose);
  EXPECT_TRUE(canClose);
  std::ifstream in(settings_, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "438\r\n0\r\n300\r\n320\r\n157\r\n");
}

TEST_F(MainWindowTest, StatusPanelTwoFollowsTheWindowWidth) {
  Open();
  form_->SetWidth(500);
  EXPECT_EQ(form_->StatusBar1->Panels()[2]->Width(), 200);
  form_->SetWidth(1024);
  EXPECT_EQ(form_->StatusBar1->Panels()[2]->Width(), 684);
}

TEST_F(MainWindowTest, FitLayoutShrinksAndCentresLargePictures) {
  WriteBmp(pictures_ / "a.bmp", 1000, 750, Solid(0xFF0000));
  WriteBmp(pictures_ / "b.bmp", 1920, 1080, Solid(0x00FF00));
  WriteBmp(pictures_ / "c.bmp", 400, 1200, Solid(0x0000FF));
  WriteBmp(pictures_ / "d.bmp", 300, 200, Solid(0xFFFF00));
  Open();
  SizeImagePanel(800, 700);
  Select("a.bmp");
  EXPECT_EQ(ImageBounds(), Bounds(0, 50, 800, 599));
  EXPECT_EQ(Panel(0), "1000 x 750");
  SizeImagePanel(800, 600);
  Select("b.bmp");
  EXPECT_EQ(ImageBounds(), Bounds(0, 75, 800, 449));
  Select("c.bmp");
  EXPECT_EQ(ImageBounds(), Bounds(300, 0, 200, 600));
  Select("d.bmp");
  EXPECT_EQ(ImageBounds(), Bounds(250, 200, 300, 200));
  form_->FitToPanel = false;
  Select("d.bmp");
  EXPECT_EQ(ImageBounds(), Bounds(250, 200, 300, 200));
  SizeImagePanel(800, 700);
  Select("a.bmp");  // natural size pinned to the top-left and cut off
  EXPECT_EQ(ImageBounds(), Bounds(0, 0, 1000, 750));
}

TEST_F(MainWindowTest, StatusBarAndCaptionDescribeTheSelectedFile) {
  WriteBmp(pictures_ / "a.bmp", 40, 30, Solid(0));
  Open();
  Select("a.bmp");
  const std::string path = Native("a.bmp");
  EXPECT_EQ(Panel(1), "1 / 1");
  EXPECT_EQ(Panel(2), path + " - 3,654 bytes");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + path);
  // Ctrl+S shows itself only at the next display step.
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Panel(2), path + " - 3,654 bytes");
  form_->FileListBox1Click(form_);
  EXPECT_EQ(Panel(2), path);
}

TEST_F(MainWindowTest, ZoomGrowsAboutTheCentreAndRespectsItsLimits) {
  WriteBmp(pictures_ / "a.bmp", 1000, 750, Solid(0xFF0000));
  Open();
  SizeImagePanel(800, 700);
  Select("a.bmp");
  ASSERT_EQ(ImageBounds(), Bounds(0, 50, 800, 599));
  Press(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(ImageBounds(), Bounds(-50, 50 - 37, 900, 673));
  Press(Qt::Key_Plus);  // the main keyboard's plus does nothing
  EXPECT_EQ(ImageBounds(), Bounds(-50, 13, 900, 673));
  Press(Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_EQ(ImageBounds().Width(), 800);
  form_->FitToPanel = false;
  const TRect before = ImageBounds();
  Press(Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(ImageBounds(), before);
  form_->FitToPanel = true;
  form_->Image1->SetBounds(0, 0, 100, 80);
  Press(Qt::Key_Minus, Qt::KeypadModifier);  // 100 wide or narrower: nothing
  EXPECT_EQ(ImageBounds(), Bounds(0, 0, 100, 80));
}

TEST_F(MainWindowTest, WindowStepKeysAndTheirRefusals) {
  Open();
  form_->SetBounds(100, 100, 400, 300);
  Press(Qt::Key_F11);
  EXPECT_EQ(form_->BoundsRect(), Bounds(140, 130, 320, 240));
  form_->SetBounds(0, 0, 80, 200);
  Press(Qt::Key_F11);
  EXPECT_EQ(form_->BoundsRect(), Bounds(0, 0, 80, 200));
  form_->SetBounds(10, 10, 960, 700);
  Press(Qt::Key_F12);  // 960 + 80 is wider than the 1024 screen
  EXPECT_EQ(form_->BoundsRect(), Bounds(10, 10, 960, 700));
  form_->SetBounds(10, 10, 900, 700);
  Press(Qt::Key_F12);
  EXPECT_EQ(form_->BoundsRect(), Bounds(-30, -20, 980, 760));
  Press(Qt::Key_F10);
  EXPECT_EQ(form_->BoundsRect(), Bounds(0, 0, 1024, 768));
}

TEST_F(MainWindowTest, PageKeysAtTheEndsAndHomeEndOnAnEmptyList) {
  Open();
  Press(Qt::Key_End);  // empty list: the display step still runs with nothing selected
  EXPECT_EQ(Panel(1), "0 / 0");
  EXPECT_EQ(Panel(2), " - 0 bytes");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - ");
  EXPECT_EQ(ImageBounds().Width(), 0);
  delete form_;
  form_ = nullptr;

  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) WriteBmp(pictures_ / name, 4, 4, Solid(0));
  Open();
  EXPECT_FALSE(KeyDown(VK_PRIOR)) << "nothing selected: the window does nothing";
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), -1);
  EXPECT_TRUE(KeyDown(VK_NEXT)) << "nothing selected: the first file";
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 0);
  EXPECT_EQ(Panel(1), "1 / 3");
  EXPECT_FALSE(KeyDown(VK_PRIOR)) << "at the first file the key goes on to the list";
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 0);
  EXPECT_TRUE(KeyDown(VK_END));
  EXPECT_EQ(Panel(1), "3 / 3");
  EXPECT_FALSE(KeyDown(VK_NEXT));
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 2);
  // Through the whole key path: the window acts and the list does not move a second time.
  Press(Qt::Key_PageUp);
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 1);
  Press(Qt::Key_Home);
  EXPECT_EQ(Panel(1), "1 / 3");
  Press(Qt::Key_Down);  // arrows are the list's own: it moves and runs the display step
  EXPECT_EQ(Panel(1), "2 / 3");
}

TEST_F(MainWindowTest, SlideShowIntervalAnswers) {
  Open();
  dialogs_.QueueInput("abc");
  Press(Qt::Key_F3);
  ASSERT_GE(dialogs_.Shown().size(), 2u);
  EXPECT_EQ(dialogs_.Shown()[0].Caption, "Slide Show");
  EXPECT_EQ(dialogs_.Shown()[0].Text, "Interval (miliseconds):");
  EXPECT_EQ(dialogs_.Shown()[0].DefaultText, "1000");
  EXPECT_EQ(dialogs_.Shown().back().Text, "'abc' is not a valid integer value.");
  EXPECT_EQ(form_->Timer1->Interval(), 1000u);
  dialogs_.Clear();

  dialogs_.QueueInput("0");
  dialogs_.QueueInput("-1");
  Press(Qt::Key_F3);
  ASSERT_EQ(dialogs_.Shown().size(), 3u);
  EXPECT_EQ(dialogs_.Shown()[1].Text, "Interval to Slide Show 0 invalid.");
  EXPECT_EQ(dialogs_.Shown()[2].DefaultText, "0");
  EXPECT_EQ(form_->Timer1->Interval(), 4294967295u);
  EXPECT_FALSE(form_->Timer1->Enabled()) << "changing the interval does not start the show";
}

TEST_F(MainWindowTest, SlideShowStopsItselfAtTheLastFile) {
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) WriteBmp(pictures_ / name, 4, 4, Solid(0));
  Open();
  Press(Qt::Key_Home);
  Press(Qt::Key_F4);
  EXPECT_TRUE(form_->Timer1->Enabled());
  form_->Timer1Timer(form_->Timer1);
  form_->Timer1Timer(form_->Timer1);
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 2);
  EXPECT_TRUE(form_->Timer1->Enabled());
  form_->Timer1Timer(form_->Timer1);
  EXPECT_FALSE(form_->Timer1->Enabled());
  Press(Qt::Key_F4);
  form_->Timer1Timer(form_->Timer1);  // still at the last file: off at once
  EXPECT_FALSE(form_->Timer1->Enabled());
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 2);
}

TEST_F(MainWindowTest, BottomRefreshShowsTheFileThatSortsLast) {
  WriteBmp(pictures_ / "b.bmp", 4, 4, Solid(0));
  Open();
  Press(Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(form_->TimedBottomRefresh);
  EXPECT_TRUE(form_->Timer1->Enabled());
  WriteBmp(pictures_ / "a.bmp", 4, 4, Solid(0));  // sorts earlier: not shown
  form_->Timer1Timer(form_->Timer1);
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + Native("b.bmp"));
  WriteBmp(pictures_ / "z.bmp", 6, 5, Solid(0));
  form_->Timer1Timer(form_->Timer1);
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + Native("z.bmp"));
  EXPECT_EQ(Panel(0), "6 x 5");
  EXPECT_EQ(Panel(1), "3 / 3");
}

TEST_F(MainWindowTest, UnreadableFilesEmptyTheImageAreaSilently) {
  WriteBmp(pictures_ / "a.bmp", 30, 20, Solid(0));
  std::ofstream(pictures_ / "b.jpe") << "not registered";
  std::ofstream(pictures_ / "c.txt") << "plain text";
  std::ofstream(pictures_ / "d.gif") << "GIF10a";
  Open();
  form_->FileListBox1->SetMask("*.*");
  Select("a.bmp");
  EXPECT_EQ(ImageBounds().Width(), 30);
  for (const char* name : {"b.jpe", "c.txt"}) {
    Select(name);
    EXPECT_TRUE(form_->Image1->Visible()) << name;
    EXPECT_EQ(ImageBounds().Width(), 0) << name;
    EXPECT_EQ(ImageBounds().Height(), 0) << name;
    EXPECT_EQ(Panel(0), "30 x 20") << name;
  }
  Select("d.gif");  // not a GIF version: the animated control is emptied instead
  EXPECT_FALSE(form_->Image1->Visible());
  EXPECT_TRUE(form_->GIFAnimator1->Visible());
  EXPECT_EQ(form_->GIFAnimator1->Width(), 0);
  EXPECT_EQ(Panel(0), "30 x 20");
  EXPECT_TRUE(dialogs_.Shown().empty());
}

// A GIF whose logical screen is width x height, with one 1 x 1 frame.
void WriteGif(const fs::path& path, int width, int height) {
  const unsigned char bytes[] = {'G',
                                 'I',
                                 'F',
                                 '8',
                                 '9',
                                 'a',
                                 static_cast<unsigned char>(width),
                                 static_cast<unsigned char>(width >> 8),
                                 static_cast<unsigned char>(height),
                                 static_cast<unsigned char>(height >> 8),
                                 0x80,
                                 0,
                                 0,
                                 0,
                                 0,
                                 0,
                                 255,
                                 255,
                                 255,  // two-colour global table
                                 ',',
                                 0,
                                 0,
                                 0,
                                 0,
                                 1,
                                 0,
                                 1,
                                 0,
                                 0,  // one pixel at 0,0
                                 2,
                                 2,
                                 0x44,
                                 0x01,
                                 0,  // clear, 0, end
                                 ';'};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST_F(MainWindowTest, GifsAreCentredAtNaturalSizeInTheAnimatedControl) {
  WriteGif(pictures_ / "big.Gif", 1000, 1000);
  WriteGif(pictures_ / "small.gif", 100, 50);
  WriteBmp(pictures_ / "still.bmp", 30, 20, Solid(0));
  Open();
  SizeImagePanel(800, 600);
  Select("big.Gif");  // the extension is compared in upper case
  EXPECT_FALSE(form_->Image1->Visible());
  EXPECT_TRUE(form_->GIFAnimator1->Visible());
  EXPECT_EQ(form_->GIFAnimator1->BoundsRect(), Bounds(-100, -200, 1000, 1000));
  EXPECT_EQ(Panel(0), "1000 x 1000");
  Select("small.gif");
  EXPECT_EQ(form_->GIFAnimator1->BoundsRect(), Bounds(350, 275, 100, 50));
  Select("still.bmp");
  EXPECT_TRUE(form_->Image1->Visible());
  EXPECT_FALSE(form_->GIFAnimator1->Visible());
  // A GIF that vanished after the list was read empties the animated control, even right after
  // another GIF was shown in it.
  Select("small.gif");
  fs::remove(pictures_ / "big.Gif");
  Select("big.Gif");
  EXPECT_TRUE(form_->GIFAnimator1->Visible());
  EXPECT_EQ(form_->GIFAnimator1->Width(), 0);
  EXPECT_EQ(form_->GIFAnimator1->Height(), 0);
  EXPECT_EQ(Panel(0), "100 x 50");
}

TEST_F(MainWindowTest, ChoosingAnotherDirectoryClearsTheStatusAndEmptiesForAnEmptyList) {
  WriteBmp(pictures_ / "a.bmp", 30, 20, Solid(0));
  fs::create_directories(pictures_ / "empty");
  Open();
  Select("a.bmp");
  ASSERT_EQ(ImageBounds().Width(), 30);
  form_->FileListBox1->SetDirectory(NativeToProgramPath((pictures_ / "empty").string()));
  form_->DirectoryListBox1Change(form_);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Panel(i), "") << i;
  EXPECT_EQ(Panel(3), "Press F1 for the keys.");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5");
  EXPECT_TRUE(form_->Image1->Visible());
  EXPECT_EQ(ImageBounds().Width(), 0);
  // A directory with files keeps the previous picture until one is chosen.
  form_->FileListBox1->SetDirectory(NativeToProgramPath(pictures_.string()));
  Select("a.bmp");
  form_->DirectoryListBox1Change(form_);
  EXPECT_EQ(ImageBounds().Width(), 30);
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5");
}

// A JPEG whose header reads but whose decoding fails: no quantisation table is defined, which
// the decoder finds only when it starts. Width and height as declared.
std::string UndecodableJpeg(int width, int height) {
  std::string jpeg = "\xFF\xD8";                   // SOI
  jpeg += std::string("\xFF\xC0\x00\x0B\x08", 5);  // SOF0, 8 bits
  jpeg += static_cast<char>(height >> 8);
  jpeg += static_cast<char>(height & 0xFF);
  jpeg += static_cast<char>(width >> 8);
  jpeg += static_cast<char>(width & 0xFF);
  jpeg += std::string("\x01\x01\x11\x00", 4);                           // one component, table 0
  jpeg += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);  // SOS
  jpeg += std::string(64, '\x5A');
  jpeg += "\xFF\xD9";
  return jpeg;
}

// An icon file with one 16 x 16 entry whose image data is garbage.
std::string GarbageIcon() {
  std::string ico("\x00\x00\x01\x00\x01\x00", 6);
  ico += std::string("\x10\x10\x00\x00\x01\x00\x20\x00", 8);
  ico += std::string("\x28\x00\x00\x00\x16\x00\x00\x00", 8);  // 40 bytes at offset 22
  ico += std::string(40, '\xEE');
  return ico;
}

// Pictures that decode only when drawn fail inside the display step: the control is emptied
// and nothing is reported, neither then nor when the window paints.
TEST_F(MainWindowTest, PicturesFailingToDecodeEmptyTheControlWithoutAReport) {
  WriteBmp(pictures_ / "a.bmp", 30, 20, Solid(0));
  std::ofstream(pictures_ / "b.jpg", std::ios::binary) << UndecodableJpeg(16, 16);
  std::ofstream(pictures_ / "c.jpg", std::ios::binary) << UndecodableJpeg(65500, 65500);
  std::ofstream(pictures_ / "d.ico", std::ios::binary) << GarbageIcon();
  Open();
  for (const char* name : {"b.jpg", "c.jpg", "d.ico"}) {
    Select("a.bmp");
    ASSERT_EQ(ImageBounds().Width(), 30);
    Select(name);
    EXPECT_TRUE(form_->Image1->Visible()) << name;
    EXPECT_EQ(ImageBounds().Width(), 0) << name;
    EXPECT_EQ(ImageBounds().Height(), 0) << name;
    form_->Widget()->grab();
    Application->ProcessMessages();
  }
  EXPECT_TRUE(dialogs_.Shown().empty());
}

// A picture that fails only when the still-image control paints it (loaded past the display
// step): the paint empties the control instead of reporting.
TEST_F(MainWindowTest, StillImageThatFailsToPaintEmptiesItself) {
  std::ofstream(pictures_ / "b.jpg", std::ios::binary) << UndecodableJpeg(40, 30);
  Open();
  form_->Image1->SetBounds(0, 0, 40, 30);
  form_->Image1->Picture().ReadFromFile(Native("b.jpg"));
  form_->Image1->Show();
  form_->Widget()->grab();
  Application->ProcessMessages();
  EXPECT_TRUE(dialogs_.Shown().empty());
  EXPECT_EQ(form_->Image1->Picture().Graphic(), nullptr);
  EXPECT_EQ(ImageBounds().Width(), 0);
  EXPECT_EQ(ImageBounds().Height(), 0);
}

TEST_F(MainWindowTest, StoredSizesBelowTheMinimumStillGiveAVisibleWindow) {
  WriteSettings("10\r\n10\r\n0\r\n0\r\n0\r\n");
  Open();
  EXPECT_EQ(form_->BoundsRect(), Bounds(10, 10, 80, 60));
  delete form_;
  form_ = nullptr;
  WriteSettings("-5000\r\n20\r\n$FFFFFFFF\r\n-300\r\n100\r\n");
  Open();
  EXPECT_EQ(form_->Width(), 80);
  EXPECT_EQ(form_->Height(), 60);
  EXPECT_EQ(form_->Left(), 20);
  delete form_;
  form_ = nullptr;
  WriteSettings("5\r6\r300\r400\r100\r");  // bare carriage returns end lines too
  Open();
  EXPECT_EQ(form_->BoundsRect(), Bounds(6, 5, 400, 300));
}

// The double click's own press and release leave no drag running, even when the panel toggle
// re-lays the picture out and the release never reaches the control.
TEST_F(MainWindowTest, DoubleClickLeavesNoDragRunning) {
  WriteBmp(pictures_ / "a.bmp", 300, 200, Solid(0xFF));
  WriteGif(pictures_ / "b.gif", 300, 200);
  Open();
  for (const char* name : {"a.bmp", "b.gif"}) {
    Select(name);
    TControl* control = std::string(name) == "a.bmp" ? static_cast<TControl*>(form_->Image1)
                                                     : static_cast<TControl*>(form_->GIFAnimator1);
    const bool browsing = form_->Panel1->Visible();
    control->DispatchMouseDown(mbLeft, TShiftState{ssLeft}, 10, 10, false);
    control->DispatchMouseUp(mbLeft, TShiftState{}, 10, 10);
    control->DispatchMouseDown(mbLeft, TShiftState{ssLeft}, 10, 10, true);
    EXPECT_NE(browsing, form_->Panel1->Visible()) << name;
    EXPECT_EQ(form_->DragOriginX, 0) << name;
    EXPECT_EQ(form_->DragOriginY, 0) << name;
    EXPECT_EQ(Screen->Cursor(), crDefault) << name;
    const TRect before = control->BoundsRect();
    control->DispatchMouseMove(TShiftState{}, 40, 40);
    EXPECT_EQ(control->BoundsRect(), before) << name << ": the picture does not follow the pointer";
  }
}

TEST_F(MainWindowTest, CommandLineArgumentOpensTheFile) {
  WriteBmp(pictures_ / "a.bmp", 30, 20, Solid(0));
  WriteBmp(pictures_ / "b.bmp", 50, 40, Solid(0));
  Open({Native("b.bmp")});
  EXPECT_EQ(Panel(0), "50 x 40");
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 1);
  delete form_;
  form_ = nullptr;
  Open({Native("b.bmp"), Native("a.bmp")});  // two arguments open nothing
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), -1);
  delete form_;
  form_ = nullptr;
  Open({Native("missing.bmp")});
  EXPECT_EQ(Panel(0), "");
}

TEST_F(MainWindowTest, RenderedWindowShowsThePictureInItsRectangle) {
  WriteBmp(pictures_ / "q.bmp", 1000, 750, [](int x, int y) -> uint32_t {
    return y < 375 ? (x < 500 ? 0xFF0000 : 0x00FF00) : (x < 500 ? 0x0000FF : 0xFFFF00);
  });
  Open();
  SizeImagePanel(800, 700);
  Select("q.bmp");
  ASSERT_EQ(ImageBounds(), Bounds(0, 50, 800, 599));
  QImage shot = form_->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_GE(shot.width(), 960);
  const int left = 160, top = 50;
  EXPECT_EQ(shot.pixel(left + 200, top + 150) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(shot.pixel(left + 600, top + 150) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(shot.pixel(left + 200, top + 450) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(shot.pixel(left + 600, top + 450) & 0xFFFFFF, 0xFFFF00u);
  EXPECT_NE(shot.pixel(left + 200, top - 5) & 0xFFFFFF, 0xFF0000u) << "above the picture";
}

}  // namespace
}  // namespace lumivane
