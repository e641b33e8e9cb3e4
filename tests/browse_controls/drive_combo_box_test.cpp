#include "browse/drive_combo_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/directory_list_box.h"
#include "browse/path_helpers.h"
#include "control_test_support.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/volume_info.h"

namespace lumivane {
namespace {

using testing::Grab;
using testing::MountLine;
using testing::RootMount;
using testing::ShownPixel;
using testing::TTempFolder;

class DriveComboTest : public ::testing::Test {
 protected:
  // C: the root; D: a stick that is not inserted; E: a disc; F: a share; G: a RAM disk that
  // cannot be read; H: a disc drive without a medium; I: a share without a network name.
  void SetUp() override {
    folder.Directory("disc");
    folder.Directory("share/Pics");
    folder.Directory("backup");
    folder.Directory("c-side");
    mounts = std::string(RootMount) + MountLine(2, "/media/lumivane-test/STICK", "vfat", "/dev/sdz1") +
             MountLine(3, folder.Native("disc"), "iso9660", "/dev/sr0") +
             MountLine(4, folder.Native("share"), "nfs", "srv:/Pics") +
             MountLine(5, "/home/lumivane-test-ram", "tmpfs", "tmpfs") +
             MountLine(6, folder.Native("no-disc"), "iso9660", "/dev/sr1") +
             MountLine(7, folder.Native("backup"), "cifs", "none");
    labels = {{"/dev/root-disk", "System Disk"},
              {"/dev/sdz1", "NEVER READ"},
              {"/dev/sr0", "Holiday Pics"},
              {"/dev/sr1", "Gone"},
              {"none", "Backup Set"}};
    InstallDriveTable(TDriveTable::FromMountInfo(mounts, labels));
    // Every drive starts at its root: the platform remembers each drive's directory.
    for (const char* root : {"E:\\", "F:\\", "I:\\"}) ASSERT_TRUE(SetCurrentDirectoryA(root));
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Program("c-side")));
    form.SetBounds(0, 0, 300, 300);
  }
  TDriveComboBox* MakeCombo() {
    auto* combo = new TDriveComboBox(&form);
    combo->SetParent(&form);
    combo->SetBounds(0, 0, 200, 19);
    combo->OnChange = [this](TObject*) { events.push_back("change"); };
    combo->OnClick = [this](TObject*) { events.push_back("click"); };
    return combo;
  }
  TDirectoryListBox* MakeDirList(TDriveComboBox* combo) {
    auto* list = new TDirectoryListBox(&form);
    list->SetParent(&form);
    list->SetBounds(0, 30, 200, 200);
    combo->SetDirList(list);
    return list;
  }
  static std::vector<std::string> Texts(const TDriveComboBox* combo) {
    std::vector<std::string> texts(static_cast<size_t>(combo->Count()));
    for (int i = 0; i < combo->Count(); ++i) texts[static_cast<size_t>(i)] = combo->Items(i);
    return texts;
  }

  TTempFolder folder;
  std::string mounts;
  TDriveTable::TLabelMap labels;
  TForm form{nullptr};
  std::vector<std::string> events;
  using Strings = std::vector<std::string>;
};

TEST_F(DriveComboTest, ListsEveryDriveByTypeInTheChosenLetterCase) {
  TDriveComboBox* combo = MakeCombo();
  EXPECT_EQ(combo->TextCase(), tcLowerCase);
  EXPECT_EQ(combo->Style(), csOwnerDrawFixed);
  EXPECT_EQ(combo->Count(), 0);  // filled with the window
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  combo->HandleNeeded();
  EXPECT_EQ(SetErrorMode(0), SEM_NOOPENFILEERRORBOX);  // the volume queries put it back
  EXPECT_EQ(Texts(combo), (Strings{"c: [system disk]", "d:", "e: [holiday pics]", "f: \\\\srv\\pics", "g: []",
                                   "h: []", "i: [backup set]"}));
  const std::vector<TBitmap*> glyphs = {combo->FixedGlyph(),   combo->FloppyGlyph(), combo->CDROMGlyph(),
                                        combo->NetworkGlyph(), combo->RAMGlyph(),    combo->CDROMGlyph(),
                                        combo->NetworkGlyph()};
  for (int i = 0; i < combo->Count(); ++i) EXPECT_EQ(combo->Objects(i), glyphs[i]) << i;
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(events, Strings{"change"});                               // window creation selects the drive
  EXPECT_EQ(TDriveComboBox::DriveNetworkName('c'), "[system disk]");  // not a network drive

  events.clear();
  combo->SetTextCase(tcUpperCase);
  EXPECT_EQ(Texts(combo), (Strings{"C: [SYSTEM DISK]", "D:", "E: [HOLIDAY PICS]", "F: \\\\SRV\\PICS", "G: []",
                                   "H: []", "I: [BACKUP SET]"}));
  EXPECT_EQ(combo->DriveLetter(), 'C');
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(events, Strings{"change"});
}

TEST_F(DriveComboTest, StartsOnTheCurrentDriveAndSizesForItsGlyphs) {
  ASSERT_TRUE(SetCurrentDirectoryA("F:\\Pics"));
  TDriveComboBox* combo = MakeCombo();
  EXPECT_EQ(combo->DriveLetter(), 'F');  // as the platform reports it, until the window exists
  EXPECT_EQ(combo->Height(), std::max(FontLineHeight(combo->Font()), 11) + 6);
  combo->HandleNeeded();
  EXPECT_EQ(combo->DriveLetter(), 'f');
  EXPECT_EQ(combo->Text(), "f: \\\\srv\\pics");
}

TEST_F(DriveComboTest, DriveLetterSetterSelectsTellsTheListAndReports) {
  TDriveComboBox* combo = MakeCombo();
  TDirectoryListBox* list = MakeDirList(combo);
  EXPECT_EQ(list->DriveSelector(), combo);
  combo->HandleNeeded();
  events.clear();

  combo->SetDriveLetter('C');  // the selected drive in the other case
  EXPECT_TRUE(events.empty());

  combo->SetDriveLetter('F');
  EXPECT_EQ(combo->DriveLetter(), 'f');
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(list->Directory(), "F:\\");
  EXPECT_EQ(events, Strings{"change"});

  // A drive mounted after the fill has no item: the selection stays, the list still moves.
  folder.Directory("late");
  InstallDriveTable(
      TDriveTable::FromMountInfo(mounts + MountLine(8, folder.Native("late"), "nfs", "srv:/late"), labels));
  events.clear();
  combo->SetDriveLetter('J');
  EXPECT_EQ(combo->DriveLetter(), 'j');
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(list->Directory(), "J:\\");
  EXPECT_EQ(events, Strings{"change"});

  // A font change makes a new window, which lists the new drive.
  combo->Font().SetHeight(-20);
  EXPECT_EQ(combo->Count(), 8);
  EXPECT_EQ(combo->Items(7), "j: \\\\srv\\late");
  EXPECT_EQ(combo->ItemIndex(), 7);
  EXPECT_EQ(combo->ItemHeight(), FontLineHeight(combo->Font()));

  delete list;  // forgotten: choosing no drive touches no list
  EXPECT_EQ(combo->DirList(), nullptr);
  combo->SetDriveLetter('\0');
  EXPECT_EQ(combo->ItemIndex(), -1);
}

TEST_F(DriveComboTest, UsersChoiceReportsTwiceAndADriveWithoutMediumRaisesAfterTheMove) {
  TDriveComboBox* combo = MakeCombo();
  TDirectoryListBox* list = MakeDirList(combo);
  combo->HandleNeeded();
  int listChanges = 0;
  list->OnChange = [&](TObject*) { ++listChanges; };
  events.clear();

  char key = 'e';
  combo->DispatchKeyPress(key);
  EXPECT_EQ(events, (Strings{"click", "change", "change"}));
  EXPECT_EQ(list->Directory(), "E:\\");
  EXPECT_EQ(list->Items(0), "E:\\");
  EXPECT_EQ(listChanges, 1);

  // D: has no medium: the selector shows it, the list stays, the choice ends before reporting.
  events.clear();
  uint16_t up = VK_UP;
  EXPECT_THROW(combo->DispatchKeyDown(up, {}), EInOutError);
  EXPECT_EQ(combo->DriveLetter(), 'd');
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(list->Directory(), "E:\\");
  EXPECT_EQ(events, Strings{"click"});
}

TEST_F(DriveComboTest, ClosedBoxDrawsTheGlyphWithoutItsBackgroundThenTheText) {
  TDriveComboBox* combo = MakeCombo();
  combo->HandleNeeded();
  form.Show();
  const QImage shown = Grab(combo->Widget());
  // The item field starts 3 pixels in; the 11-pixel glyph 2 pixels further, centred in height.
  const int glyphLeft = 5;
  const int glyphTop = (3 + 3 + combo->ItemHeight() - 11) / 2;
  const uint32_t field = ShownPixel(shown, 4, glyphTop + 10);
  EXPECT_EQ(ShownPixel(shown, glyphLeft, glyphTop + 10), field);  // the background pixel
  int inked = 0;
  for (int x = glyphLeft; x < glyphLeft + 16; ++x) {
    for (int y = glyphTop; y < glyphTop + 11; ++y) inked += ShownPixel(shown, x, y) != field;
  }
  EXPECT_GT(inked, 20);
  int inkBeforeText = 0;  // the text starts 6 pixels after the glyph
  for (int x = glyphLeft + 16; x < glyphLeft + 20; ++x) {
    for (int y = glyphTop; y < glyphTop + 11; ++y) inkBeforeText += ShownPixel(shown, x, y) != field;
  }
  EXPECT_EQ(inkBeforeText, 0);
}

TEST_F(DriveComboTest, DirectoryOnTheDriveTheSelectorAlreadyShowsStillSwitchesTheList) {
  TDriveComboBox* combo = MakeCombo();
  combo->HandleNeeded();
  combo->SetDriveLetter('F');  // not linked yet: the selector and the list disagree
  TDirectoryListBox* list = MakeDirList(combo);
  list->HandleNeeded();
  ASSERT_EQ(list->DriveLetter(), 'C');
  list->SetDirectory("F:\\Pics");
  EXPECT_EQ(list->Directory(), "F:\\Pics");
  EXPECT_EQ(list->Items(0), "F:\\");
}

}  // namespace
}  // namespace lumivane
