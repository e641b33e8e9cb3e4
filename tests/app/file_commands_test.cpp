// The file commands and the mouse gestures of the main window, on temporary folders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/panel.h"
#include "framework/screen.h"
#include "framework/scripted_dialog_service.h"
#include "framework/splitter.h"
#include "framework/status_bar.h"
#include "picture/image.h"
#include "platform/current_directory.h"
#include "platform/path_conversion.h"
#include "tests/platform/fifo_guard.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

// A 2 x 2 24-bit BMP: enough for the display step to show something.
void WriteTinyBmp(const fs::path& path) {
  static const unsigned char bytes[] = {'B', 'M', 70, 0, 0,   0, 0, 0, 0, 0, 54,  0,   0,   0,   40, 0, 0,  0,
                                        2,   0,   0,  0, 2,   0, 0, 0, 1, 0, 24,  0,   0,   0,   0,  0, 16, 0,
                                        0,   0,   0,  0, 0,   0, 0, 0, 0, 0, 0,   0,   0,   0,   0,  0, 0,  0,
                                        255, 0,   0,  0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0,  0};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivane-files-XXXXXX";
    root_ = mkdtemp(pattern);
    pictures_ = root_ / "pictures";
    target_ = root_ / "target";
    fs::create_directories(pictures_);
    fs::create_directories(target_);
    saved_ = Application->SetDialogService(&dialogs_);
  }
  void TearDown() override {
    if (form_ != nullptr) {
      form_->DoDestroy();
      delete form_;
    }
    Application->SetDialogService(saved_);
    SetCurrentDirectoryA("C:\\");
    fs::permissions(root_, fs::perms::all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  void Open(std::initializer_list<const char*> names) {
    for (const char* name : names) WriteTinyBmp(pictures_ / name);
    SetCurrentDirectoryA(Program(pictures_));
    form_ = new TForm1(nullptr);
    form_->SettingsPath = Program(root_ / "Lumivane.dat");
    form_->Show();
    form_->SetBounds(100, 50, 800, 600);
  }
  static std::string Program(const fs::path& p) { return NativeToProgramPath(p.string()); }
  static std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Select(int index) {
    form_->FileListBox1->SetItemIndex(index);
    form_->FileListBox1Click(form_);
  }
  void Key(uint16_t key) {
    Application->Guard(form_, [&] { form_->FormKeyDown(form_, key, {}); });
  }
  const TShownDialog& LastDialog() { return dialogs_.Shown().back(); }
  std::string SelectedName() { return form_->FileListBox1->SelectedName(); }

  fs::path root_, pictures_, target_;
  TScriptedDialogService dialogs_;
  TDialogService* saved_ = nullptr;
  TForm1* form_ = nullptr;
};

TEST_F(FileCommandsTest, DeleteAsksAtTheAnchorAndReselects) {
  Open({"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"});
  Select(4);
  dialogs_.QueueConfirm(mrYes);
  Key(VK_DELETE);
  EXPECT_EQ(dialogs_.Shown()[0].Text, "Delete " + Program(pictures_ / "e.bmp") + " ?");
  EXPECT_EQ(dialogs_.Shown()[0].X, 100 + 400 - 130);
  EXPECT_EQ(dialogs_.Shown()[0].Y, 50 + 300 - 65);
  EXPECT_FALSE(fs::exists(pictures_ / "e.bmp"));
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 3) << "the new last file";
  Select(1);
  dialogs_.QueueConfirm(mrYes);
  Key(VK_DELETE);
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 1);
  EXPECT_EQ(SelectedName(), "c.bmp");
  dialogs_.QueueConfirm(mrNo);
  Key(VK_DELETE);
  EXPECT_TRUE(fs::exists(pictures_ / "c.bmp"));
}

TEST_F(FileCommandsTest, DeletingTheOnlyFileEmptiesTheList) {
  Open({"a.bmp"});
  Select(0);
  dialogs_.QueueConfirm(mrYes);
  Key(VK_DELETE);
  EXPECT_EQ(form_->FileListBox1->Count(), 0);
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), -1);
  EXPECT_EQ(form_->Image1->Width(), 0);
}

TEST_F(FileCommandsTest, DeletingAReadOnlyFileReportsAndKeepsTheList) {
  Open({"a.bmp", "b.bmp"});
  fs::permissions(pictures_ / "b.bmp",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Select(1);
  dialogs_.QueueConfirm(mrYes);
  Key(VK_DELETE);
  EXPECT_EQ(LastDialog().Text, "Delete Error!");
  EXPECT_TRUE(fs::exists(pictures_ / "b.bmp"));
  EXPECT_EQ(form_->FileListBox1->ItemIndex(), 1);
}

TEST_F(FileCommandsTest, RenameTakesTheAnswerAsTypedAndShowsTheSelectedFile) {
  Open({"a.bmp", "b.bmp", "c.bmp"});
  Select(0);
  const std::string mask = form_->FileListBox1->Mask();
  dialogs_.QueueInput("   ");
  Key(VK_F1 + 1);
  EXPECT_TRUE(fs::exists(pictures_ / "a.bmp")) << "blanks only: nothing";
  EXPECT_EQ(dialogs_.Shown()[0].DefaultText, "a.bmp");
  dialogs_.QueueInput("m.bmp");
  Key(VK_F1 + 1);
  EXPECT_TRUE(fs::exists(pictures_ / "m.bmp"));
  EXPECT_EQ(SelectedName(), "m.bmp");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + Program(pictures_ / "m.bmp")) << "the display step ran";
  EXPECT_EQ(form_->StatusBar1->Panels()[1]->Text(), "3 / 3");
  dialogs_.QueueInput(std::nullopt);  // Cancel returns the name: nothing happens
  Key(VK_F1 + 1);
  EXPECT_TRUE(fs::exists(pictures_ / "m.bmp"));

  // A name the filter does not list leaves the list like a deletion; the filter stays.
  for (const char* hidden : {"m.bmp ", "m.bmpX"}) {
    SCOPED_TRACE(hidden);
    dialogs_.QueueInput(hidden);
    Key(VK_F1 + 1);
    EXPECT_TRUE(fs::exists(pictures_ / hidden)) << "taken exactly as typed";
    EXPECT_EQ(form_->FileListBox1->Mask(), mask);
    EXPECT_EQ(form_->FileListBox1->Count(), 2);
    EXPECT_EQ(SelectedName(), "c.bmp") << "the entry now at the renamed one's place";
    EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + Program(pictures_ / "c.bmp"));
    fs::rename(pictures_ / hidden, pictures_ / "m.bmp");
    form_->FileListBox1->UpdateList();
    Select(2);
  }
  for (const TShownDialog& shown : dialogs_.Shown()) EXPECT_NE(shown.Kind, TDialogKind::MessageBox);
}

TEST_F(FileCommandsTest, FailedRenameSaysSoAndKeepsListSelectionAndPicture) {
  Open({"a.bmp", "b.bmp", "c.bmp"});
  Select(1);
  const std::string caption = form_->Caption();
  const std::string longName(256, 'n');
  for (const std::string& answer : {std::string("c.bmp"), std::string("missing\\b.bmp"), longName + ".bmp"}) {
    SCOPED_TRACE(answer.substr(0, 20));
    dialogs_.QueueInput(answer);
    Key(VK_F1 + 1);
    EXPECT_EQ(LastDialog().Kind, TDialogKind::MessageBox);
    EXPECT_EQ(LastDialog().Text, "Rename Error!");
    EXPECT_EQ(SelectedName(), "b.bmp");
    EXPECT_EQ(form_->FileListBox1->Count(), 3);
    EXPECT_EQ(form_->Caption(), caption);
    EXPECT_GT(form_->Image1->Width(), 0) << "the picture is still shown";
  }
  EXPECT_EQ(ReadAll(pictures_ / "b.bmp"), ReadAll(pictures_ / "c.bmp")) << "both files untouched";
  EXPECT_FALSE(fs::exists(pictures_ / "missing"));
}

TEST_F(FileCommandsTest, TargetDirectoryIsAskedAgainUntilItExists) {
  Open({"a.bmp"});
  const std::string missing = Program(root_ / "missing");
  dialogs_.QueueInput(missing);
  dialogs_.QueueInput((target_).string());  // typed in Unix form
  Key(VK_F1 + 4);
  ASSERT_EQ(dialogs_.Shown().size(), 3u);
  EXPECT_EQ(dialogs_.Shown()[0].Caption, "Inform directory");
  EXPECT_EQ(dialogs_.Shown()[0].Text, "Move/Copy file to:");
  EXPECT_EQ(dialogs_.Shown()[1].Text, "Directory " + missing + " not found.");
  EXPECT_EQ(dialogs_.Shown()[2].DefaultText, missing);
  EXPECT_EQ(form_->TargetDirectory, Program(target_));
  dialogs_.QueueInput("");
  Key(VK_F1 + 4);
  EXPECT_EQ(form_->TargetDirectory, "");
}

TEST_F(FileCommandsTest, CopyAndMoveNeedAFileFirstThenATarget) {
  Open({"a.bmp"});
  Key(VK_F1 + 5);
  EXPECT_EQ(LastDialog().Text, "No File selected.");
  Key(VK_F1 + 6);
  EXPECT_EQ(LastDialog().Text, "No File selected.");
  Select(0);
  Key(VK_F1 + 5);
  EXPECT_EQ(LastDialog().Text, "No Target Directory informed. Press F5 to inform.");
}

TEST_F(FileCommandsTest, CopyTwiceAsksToOverwriteAndMarksTheStatusOnce) {
  Open({"a.bmp", "b.bmp"});
  form_->TargetDirectory = Program(target_);
  Select(0);
  Key(VK_F1 + 5);
  EXPECT_TRUE(fs::exists(target_ / "a.bmp"));
  EXPECT_TRUE(dialogs_.Shown().empty());
  dialogs_.QueueConfirm(mrYes);
  Key(VK_F1 + 5);
  ASSERT_EQ(dialogs_.Shown().size(), 1u);
  EXPECT_EQ(LastDialog().Text, "Overwrite " + Program(target_) + "\\a.bmp ?");
  const std::string status = form_->StatusBar1->Panels()[2]->Text();
  EXPECT_EQ(status, Program(pictures_ / "a.bmp") + " - 70 bytes - Copy Ok");
  dialogs_.QueueConfirm(mrNo);
  fs::remove(pictures_ / "a.bmp");  // a refused overwrite copies nothing, so no error either
  Key(VK_F1 + 5);
  EXPECT_EQ(LastDialog().Kind, TDialogKind::ConfirmYesNo);
  EXPECT_EQ(form_->FileListBox1->Count(), 2) << "copy leaves the list alone";
}

TEST_F(FileCommandsTest, MoveReplacesAConfirmedTargetAndShowsTheNextFile) {
  Open({"a.bmp", "b.bmp", "c.bmp"});
  WriteTinyBmp(target_ / "b.bmp");
  form_->TargetDirectory = Program(target_);
  Select(1);
  dialogs_.QueueConfirm(mrYes);
  Key(VK_F1 + 6);
  EXPECT_FALSE(fs::exists(pictures_ / "b.bmp"));
  EXPECT_TRUE(fs::exists(target_ / "b.bmp"));
  EXPECT_EQ(SelectedName(), "c.bmp");
  EXPECT_EQ(form_->Caption(), "Lumivane 1.5 - " + Program(pictures_ / "c.bmp"));
  // A vanished target shows up as a failed move; the list stays as it was.
  fs::remove_all(target_);
  Key(VK_F1 + 6);
  EXPECT_EQ(LastDialog().Text, "Move Error!");
  EXPECT_EQ(form_->FileListBox1->Count(), 2);
}

TEST_F(FileCommandsTest, NothingIsMovedOrCopiedOntoItself) {
  Open({"a.bmp", "b.bmp"});
  fs::create_directory_symlink(pictures_, root_ / "linked");
  fs::create_hard_link(pictures_ / "a.bmp", target_ / "a.bmp");
  const std::string before = ReadAll(pictures_ / "a.bmp");
  Select(0);
  for (const fs::path& folder : {pictures_, root_ / "linked", target_}) {
    SCOPED_TRACE(folder.string());
    form_->TargetDirectory = Program(folder);
    dialogs_.Clear();
    dialogs_.QueueConfirm(mrYes);
    Key(VK_F1 + 6);
    ASSERT_EQ(dialogs_.Shown().size(), 2u);
    EXPECT_EQ(dialogs_.Shown()[0].Kind, TDialogKind::ConfirmYesNo);
    EXPECT_EQ(LastDialog().Text, "Move Error!");
    dialogs_.QueueConfirm(mrYes);
    Key(VK_F1 + 5);
    EXPECT_EQ(LastDialog().Text, "Copy Error!");
    EXPECT_EQ(ReadAll(pictures_ / "a.bmp"), before);
    EXPECT_EQ(SelectedName(), "a.bmp");
    EXPECT_EQ(form_->FileListBox1->Count(), 2);
  }
  EXPECT_EQ(ReadAll(target_ / "a.bmp"), before);
  EXPECT_FALSE(form_->StatusBar1->Panels()[2]->Text().ends_with("Copy Ok"));
}

TEST_F(FileCommandsTest, AFifoInPlaceOfTheShownFileIsAnUnreadableFile) {
  Open({"a.bmp", "b.bmp"});
  Select(0);
  fs::remove(pictures_ / "a.bmp");
  TFifoGuard fifo((pictures_ / "a.bmp").string());
  ASSERT_TRUE(fs::is_fifo(pictures_ / "a.bmp"));
  form_->FileListBox1Click(form_);
  EXPECT_FALSE(fifo.Released()) << "the display step waited on the FIFO";
  EXPECT_EQ(form_->Image1->Width(), 0) << "an empty display";
  EXPECT_EQ(form_->StatusBar1->Panels()[2]->Text(), Program(pictures_ / "a.bmp") + " - 0 bytes");

  form_->TargetDirectory = Program(target_);
  Key(VK_F1 + 5);
  EXPECT_EQ(LastDialog().Text, "Copy Error!");
  Key(VK_F1 + 6);
  EXPECT_EQ(LastDialog().Text, "Move Error!");
  EXPECT_TRUE(fs::is_empty(target_));
  EXPECT_TRUE(fs::is_fifo(pictures_ / "a.bmp"));
}

TEST_F(FileCommandsTest, DraggingMovesThePictureAndDoubleClickTogglesTheBrowsingPanel) {
  Open({"a.bmp"});
  Select(0);
  TImage* image = form_->Image1;
  image->SetBounds(10, 20, 100, 80);
  form_->Image1MouseDown(image, mbRight, {}, 5, 6);
  EXPECT_EQ(Screen->Cursor(), crSizeAll);
  form_->Image1MouseMove(image, {}, 25, 16);
  EXPECT_EQ(image->BoundsRect(), Bounds(30, 30, 100, 80));
  form_->Image1MouseUp(image, mbRight, {}, 25, 16);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  form_->Image1MouseMove(image, {}, 50, 50);
  EXPECT_EQ(image->Left(), 30) << "no drag after the release";
  form_->Image1MouseDown(image, mbLeft, {}, 0, 6);  // the leftmost column starts no drag
  form_->Image1MouseMove(image, {}, 40, 40);
  EXPECT_EQ(image->Left(), 30);
  form_->Image1MouseUp(image, mbLeft, {}, 40, 40);

  const int panelWidth = form_->Panel2->Width();
  form_->Image1DblClick(image);
  EXPECT_FALSE(form_->Panel1->Visible());
  EXPECT_FALSE(form_->Splitter1->Visible());
  EXPECT_EQ(form_->Panel2->Width(), panelWidth + 160);
  form_->Panel2DblClick(form_->Panel2);
  EXPECT_TRUE(form_->Panel1->Visible());
  EXPECT_EQ(form_->Panel2->Width(), panelWidth);
}

}  // namespace
}  // namespace lumivane
