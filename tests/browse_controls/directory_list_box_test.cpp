#include "browse/directory_list_box.h"

#include <gtest/gtest.h>

#include <QtGui/QHelpEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "browse/drive_combo_box.h"
#include "browse/file_list_box.h"
#include "control_test_support.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/label.h"
#include "framework/scroll_bar.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"

namespace lumivane {
namespace {

using testing::Grab;
using testing::MountLine;
using testing::RootMount;
using testing::ShownPixel;
using testing::TTempFolder;

// Counts rebuilds and can pretend that the volume neither keeps nor respects letter case.
class TProbedDirectoryList : public TDirectoryListBox {
 public:
  using TDirectoryListBox::DisplayText;
  using TDirectoryListBox::TDirectoryListBox;
  int Rebuilds = 0;
  bool CaseBlindVolume = false;

 protected:
  void RebuildLines() override {
    ++Rebuilds;
    TDirectoryListBox::RebuildLines();
  }
  DWORD QueryVolumeFlags(const std::string& Root) const override {
    return CaseBlindVolume ? 0 : TDirectoryListBox::QueryVolumeFlags(Root);
  }
};

class DirectoryListTest : public ::testing::Test {
 protected:
  // D: is a share mounted in the temporary folder; E: a disc drive without a medium.
  void SetUp() override {
    folder.Directory("d");
    folder.Directory("c-side");
    InstallDriveTable(TDriveTable::FromMountInfo(
        std::string(RootMount) + MountLine(2, folder.Native("d"), "nfs", "srv:/d") +
            MountLine(3, folder.Native("no-disc"), "iso9660", "/dev/sr0"),
        {}));
    ASSERT_TRUE(SetCurrentDirectoryA("D:\\"));  // the platform remembers each drive's directory
    form.SetBounds(0, 0, 400, 400);
  }
  // A list created in Directory, with its window.
  TProbedDirectoryList* MakeList(const std::string& directory, bool caseBlind = false) {
    EXPECT_TRUE(SetCurrentDirectoryA(directory)) << directory;
    auto* list = new TProbedDirectoryList(&form);
    list->CaseBlindVolume = caseBlind;
    list->SetParent(&form);
    list->SetBounds(0, 0, 200, 300);
    list->OnChange = [this](TObject*) { ++changes; };
    list->HandleNeeded();
    return list;
  }
  static std::vector<std::string> Lines(const TDirectoryListBox* list) {
    std::vector<std::string> lines(static_cast<size_t>(list->Count()));
    for (int i = 0; i < list->Count(); ++i) lines[static_cast<size_t>(i)] = list->Items(i);
    return lines;
  }
  // The first column of a glyph that shows against a white list.
  static int GlyphInset(TBitmap* glyph) {
    TCanvas& canvas = glyph->Canvas();
    const TColor background = canvas.Pixels(0, glyph->ImageHeight() - 1);
    for (int x = 0; x < glyph->ImageWidth(); ++x) {
      for (int y = 0; y < glyph->ImageHeight(); ++y) {
        const TColor c = canvas.Pixels(x, y);
        if (c != background && (c & 0xFFFFFF) != 0xFFFFFF) return x;
      }
    }
    return -1;
  }
  // The first column of a line that is not white, inside the row (clear of a focus frame).
  static int FirstInkedColumn(const QImage& shown, const TRect& row) {
    for (int x = 1; x < shown.width() - 1; ++x) {
      for (int y = row.Top + 1; y < row.Bottom - 1; ++y) {
        if (ShownPixel(shown, x, y) != 0xFFFFFFu) return x;
      }
    }
    return -1;
  }
  void ExpectGlyphIndents(TDirectoryListBox* list, const std::vector<int>& indents) {
    list->SetItemIndex(-1);
    form.Show();
    const QImage shown = Grab(list->Widget());
    ASSERT_EQ(list->Count(), static_cast<int>(indents.size()));
    for (int i = 0; i < list->Count(); ++i) {
      auto* glyph = dynamic_cast<TBitmap*>(list->Objects(i));
      ASSERT_NE(glyph, nullptr);
      EXPECT_EQ(FirstInkedColumn(shown, list->ItemRect(i)), indents[i] + GlyphInset(glyph))
          << "line " << i << " " << list->Items(i);
    }
  }

  TTempFolder folder;
  TForm form{nullptr};
  int changes = 0;
  using Texts = std::vector<std::string>;
};

TEST_F(DirectoryListTest, DriveRootIsOneCurrentLineAndItsVisibleSubdirectories) {
  folder.Directory("d/Beta");
  folder.Directory("d/alpha");
  folder.Directory("d/.hidden");
  folder.File("d/file.txt");
  TProbedDirectoryList* list = MakeList("D:\\");
  EXPECT_EQ(list->ItemHeight(), 16);  // the 15-pixel glyphs need 16
  EXPECT_EQ(Lines(list), (Texts{"D:\\", "alpha", "Beta"}));
  EXPECT_EQ(list->Objects(0), list->CurrentFolderGlyph());
  EXPECT_EQ(list->Objects(1), list->ClosedFolderGlyph());
  // Window creation selects line PathDepth = 1: the first subdirectory at a root.
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(list->ItemPath(2), "D:\\Beta");
  ExpectGlyphIndents(list, {2, 10, 10});
}

TEST_F(DirectoryListTest, DeepDirectoryShowsEveryLevelThenItsSubdirectories) {
  folder.Directory("d/Data/Deep/x");
  folder.Directory("d/Data/Deep/y");
  TProbedDirectoryList* list = MakeList("D:\\Data\\Deep");
  EXPECT_EQ(Lines(list), (Texts{"D:\\", "Data", "Deep", "x", "y"}));
  EXPECT_EQ(list->Objects(1), list->OpenFolderGlyph());
  EXPECT_EQ(list->Objects(2), list->CurrentFolderGlyph());
  EXPECT_EQ(list->ItemIndex(), 2);
  const Texts paths = {list->ItemPath(0), list->ItemPath(1), list->ItemPath(2), list->ItemPath(4),
                       list->ItemPath(5)};
  EXPECT_EQ(paths, (Texts{"D:\\", "D:\\Data", "D:\\Data\\Deep", "D:\\Data\\Deep\\y", ""}));
  ExpectGlyphIndents(list, {2, 6, 10, 14, 14});
}

TEST_F(DirectoryListTest, LetterCaseFollowsTheVolume) {
  // Here names differing only in case are different directories, and both are listed.
  for (const char* name : {"d/b", "d/A", "d/a", "d/Photos/Summer"}) folder.Directory(name);
  TProbedDirectoryList* list = MakeList("D:\\");
  EXPECT_EQ(Lines(list).size(), 5u);
  EXPECT_EQ(list->Items(3), "b");  // case-blind order
  EXPECT_EQ(list->DisplayText(4), "Photos");
  EXPECT_THROW(list->SetDirectory("D:\\PHOTOS"), EInOutError);  // another name here

  // A volume that neither keeps nor respects case: lower case shown, case changes ignored.
  TProbedDirectoryList* blind = MakeList("D:\\Photos", /*caseBlind=*/true);
  EXPECT_EQ(blind->DisplayText(0), "d:\\");
  EXPECT_EQ(blind->DisplayText(2), "summer");
  EXPECT_EQ(blind->ItemPath(2), "D:\\Photos\\Summer");  // paths keep the names as they are
  const int rebuilds = blind->Rebuilds;
  blind->SetDirectory("d:\\PHOTOS");
  EXPECT_EQ(blind->Rebuilds, rebuilds);
  EXPECT_EQ(changes, 0);
}

TEST_F(DirectoryListTest, OpeningLinesByKeyDoubleClickAndCall) {
  folder.Directory("d/Data/Deep/x");
  TProbedDirectoryList* list = MakeList("D:\\Data\\Deep");
  list->SetItemIndex(2);
  list->OpenSelected();  // the current line: the same name, nothing happens
  EXPECT_EQ(changes, 0);

  list->SetItemIndex(3);
  char enter = '\r';
  list->DispatchKeyPress(enter);
  EXPECT_EQ(list->Directory(), "D:\\Data\\Deep\\x");
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\Data\\Deep\\x");
  EXPECT_EQ(list->ItemIndex(), 3);  // the rebuild selects the current directory's line

  list->SetItemIndex(1);
  list->DispatchMouseDown(mbLeft, {}, 5, list->ItemRect(1).Top + 2, true);
  EXPECT_EQ(list->Directory(), "D:\\Data");
  list->SetItemIndex(0);
  list->OpenSelected();
  EXPECT_EQ(list->Directory(), "D:\\");
  EXPECT_EQ(changes, 3);
}

TEST_F(DirectoryListTest, DirectoryOnAnotherDriveSwitchesTheSelectorFirstAndRebuildsOnce) {
  folder.Directory("d/Data");
  TProbedDirectoryList* list = MakeList(folder.Program("c-side"));
  auto* files = new TFileListBox(&form);
  list->SetFileList(files);
  auto* drives = new TDriveComboBox(&form);
  drives->SetParent(&form);
  drives->SetDirList(list);
  drives->HandleNeeded();
  int driveChanges = 0;
  drives->OnChange = [&](TObject*) { ++driveChanges; };
  changes = 0;
  list->Rebuilds = 0;

  list->SetDirectory("D:\\Data");
  EXPECT_EQ(drives->DriveLetter(), 'd');
  EXPECT_EQ(driveChanges, 1);
  EXPECT_EQ(list->Directory(), "D:\\Data");
  EXPECT_EQ(list->Rebuilds, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(files->Directory(), "D:\\Data");

  delete files;
  delete drives;
  EXPECT_EQ(list->FileList(), nullptr);
  EXPECT_EQ(list->DriveSelector(), nullptr);
  list->SetDirectory(folder.Program());  // nothing dangling is touched
}

TEST_F(DirectoryListTest, UnreachableDirectoryOrDriveRaisesAndChangesNothing) {
  folder.Directory("d/Data");
  TProbedDirectoryList* list = MakeList("D:\\Data");
  const Texts before = Lines(list);
  EXPECT_THROW(list->SetDirectory("D:\\Missing\\Deeper"), EInOutError);
  EXPECT_THROW(list->SwitchDrive('E'), EInOutError);
  EXPECT_THROW(list->SetDirectory("E:\\Photos"), EInOutError);
  EXPECT_EQ(list->Directory(), "D:\\Data");
  EXPECT_EQ(Lines(list), before);
  EXPECT_EQ(changes, 0);
}

TEST_F(DirectoryListTest, LabelShowsThePathShortenedToItsWidth) {
  folder.Directory("d/Alpha/Beta/Leaf");
  TProbedDirectoryList* list = MakeList("D:\\Alpha\\Beta");
  auto* label = new TLabel(&form);
  label->SetAutoSize(false);
  TCanvas& canvas = label->Canvas();
  canvas.Font().AssignFrom(&label->Font());
  label->SetWidth(1000);
  list->SetDirLabel(label);
  EXPECT_EQ(label->Caption(), "D:\\Alpha\\Beta");

  for (const std::string expected : {"D:\\...\\Beta\\Leaf", "D:\\...\\Leaf", "...\\Leaf"}) {
    label->SetWidth(canvas.TextWidth(expected));
    list->SetDirectory("D:\\Alpha\\Beta\\Leaf");
    EXPECT_EQ(label->Caption(), expected);
    list->SetDirectory("D:\\Alpha\\Beta");
  }
  label->SetWidth(1);
  list->SetDirectory("D:\\Alpha\\Beta\\Leaf");
  EXPECT_EQ(label->Caption(), "Leaf");  // the last name is never shortened

  // A label that sizes itself gets the list's width.
  label->SetAutoSize(true);
  list->SetWidth(canvas.TextWidth("D:\\...\\Leaf"));
  list->SetDirLabel(label);
  EXPECT_EQ(label->Caption(), "D:\\...\\Leaf");
  delete label;
  EXPECT_EQ(list->DirLabel(), nullptr);
}

TEST_F(DirectoryListTest, LinesCutByIndentGlyphOrScrollBarShowTheirNameAsATooltip) {
  // A name that would fit on its own but not after the subdirectories' indent and glyph.
  const std::string name = "Holidays in the mountains";
  folder.Directory("d/Data/Deep/" + name);
  folder.Directory("d/Data/Deep/z");
  TProbedDirectoryList* list = MakeList("D:\\Data\\Deep");
  list->Canvas().Font().AssignFrom(&list->Font());
  const int textWidth = list->Canvas().TextWidth(name);
  list->SetBounds(0, 0, textWidth + 10, 5 * 16);
  form.Show();
  auto tipAt = [&](int line) -> std::string {
    const QPoint at(4, list->ItemRect(line).Top + 4);
    QHelpEvent event(QEvent::ToolTip, at, list->Widget()->mapToGlobal(at));
    QApplication::sendEvent(list->Widget(), &event);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  };
  ASSERT_EQ(list->Items(3), name);
  EXPECT_EQ(tipAt(4), "") << "a short name fits";
  EXPECT_EQ(tipAt(3), name);
  QToolTip::hideText();

  // Lines that overflow the list get a scroll bar, and the lines' room shrinks by its width.
  for (const char* more : {"a", "b", "c"}) folder.Directory(std::string("d/Data/Deep/") + more);
  list->SetDirectory("D:\\Data");
  list->SetDirectory("D:\\Data\\Deep");
  ASSERT_EQ(list->Count(), 8);
  EXPECT_TRUE(list->ScrollBarShown());
  EXPECT_EQ(list->ItemRect(0).Width(), textWidth + 10 - TScrollBar::DefaultWidth);
}

}  // namespace
}  // namespace lumivane
