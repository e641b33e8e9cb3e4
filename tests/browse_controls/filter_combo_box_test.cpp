#include "browse/filter_combo_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/file_list_box.h"
#include "control_test_support.h"
#include "framework/form.h"
#include "platform/current_directory.h"

namespace lumivane {
namespace {

using testing::TTempFolder;

const char* const ViewerFilter =
    "*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico|*.bmp|*.bmp|"
    "*.jpg;*.jpeg;*.jpe|*.jpg;*.jpeg;*.jpe|*.gif|*.gif|*.ico|*.ico|All files (*.*)|*.*";

class FilterComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.File("a.gif");
    folder.File("b.bmp");
    folder.File("c.txt");
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Program()));
    form.SetBounds(0, 0, 300, 300);
    files = new TFileListBox(&form);
    files->SetParent(&form);
    files->SetMask("*.gif");
    files->OnChange = [this](TObject*) { events.push_back("refill"); };
    combo = new TFilterComboBox(&form);
    combo->SetParent(&form);
    combo->OnChange = [this](TObject*) { events.push_back("change"); };
    combo->OnClick = [this](TObject*) { events.push_back("click"); };
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (int i = 0; i < combo->Count(); ++i) texts.push_back(combo->Items(i));
    return texts;
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (int i = 0; i < files->Count(); ++i) names.push_back(files->Items(i));
    return names;
  }

  TTempFolder folder;
  TForm form{nullptr};
  TFileListBox* files = nullptr;
  TFilterComboBox* combo = nullptr;
  std::vector<std::string> events;
  using Strings = std::vector<std::string>;
};

TEST_F(FilterComboTest, ViewerFilterGivesSixEntriesAndTheLastListsEverything) {
  EXPECT_EQ(combo->Filter(), "All files (*.*)|*.*");
  EXPECT_FALSE(combo->FilterStored());
  EXPECT_EQ(combo->Style(), csDropDownList);
  combo->SetFilter(ViewerFilter);
  EXPECT_TRUE(combo->FilterStored());
  combo->SetFileList(files);
  EXPECT_EQ(files->FilterCombo(), combo);
  combo->HandleNeeded();
  events.clear();
  EXPECT_EQ(Texts(), (Strings{"*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico", "*.bmp", "*.jpg;*.jpeg;*.jpe", "*.gif",
                              "*.ico", "All files (*.*)"}));
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Mask(), "*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico");
  EXPECT_EQ(files->Mask(), "*.gif");  // the window's first selection is not pushed
  EXPECT_EQ(Files(), Strings{"a.gif"});

  // The user's choice: click, then the change handling twice; the list refills once.
  uint16_t end = VK_END;
  combo->DispatchKeyDown(end, {});
  EXPECT_EQ(files->Mask(), "*.*");
  EXPECT_EQ(Files(), (Strings{"a.gif", "b.bmp", "c.txt"}));
  EXPECT_EQ(events, (Strings{"click", "refill", "change", "change"}));
}

TEST_F(FilterComboTest, ParsingDropsAnUnfinishedDescriptionAndAllowsAnEmptyMask) {
  combo->HandleNeeded();
  combo->SetFilter("Pictures|*.gif|Text");
  EXPECT_EQ(Texts(), Strings{"Pictures"});
  combo->SetFilter("Pictures|*.gif|Text|");
  EXPECT_EQ(Texts(), (Strings{"Pictures", "Text"}));
  combo->SetItemIndex(-1);  // nothing selected: the last entry is taken
  EXPECT_EQ(combo->Mask(), "");
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->SetFilter("no bar at all");
  EXPECT_EQ(combo->Count(), 0);
  EXPECT_EQ(combo->Mask(), "*.*");
}

TEST_F(FilterComboTest, FilterChangesRunTheChangeHandlingUnlessOnlyTheCaseDiffers) {
  combo->SetFileList(files);
  combo->SetFilter("Bitmaps|*.bmp");  // no window yet: no entries, the mask is still pushed
  EXPECT_EQ(combo->Count(), 0);
  EXPECT_EQ(files->Mask(), "*.*");
  EXPECT_EQ(events, Strings{"change"});

  combo->HandleNeeded();
  events.clear();
  combo->SetFilter("BITMAPS|*.BMP");
  EXPECT_EQ(combo->Filter(), "Bitmaps|*.bmp");
  EXPECT_TRUE(events.empty());

  files->HandleNeeded();
  combo->SetFilter("Bitmaps|*.bmp|Gifs|*.gif");
  EXPECT_EQ(files->Mask(), "*.bmp");
  EXPECT_EQ(Files(), Strings{"b.bmp"});
}

TEST_F(FilterComboTest, LinksAreClearedAndForgotten) {
  auto* other = new TFileListBox(&form);
  combo->SetFileList(files);
  combo->SetFileList(other);
  EXPECT_EQ(files->FilterCombo(), nullptr);
  delete other;
  EXPECT_EQ(combo->FileList(), nullptr);
  combo->SetFilter("Any|*");  // the change handling finds no list to touch
  combo->SetFileList(files);
  delete combo;
  EXPECT_EQ(files->FilterCombo(), nullptr);
}

}  // namespace
}  // namespace lumivane
