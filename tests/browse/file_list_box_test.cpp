#include "browse/file_list_box.h"

#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/edit.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/screen.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/directory_listing.h"
#include "temp_tree.h"

namespace lumivane {
namespace {

using testing::TTempTree;

// Records each insertion's index and the screen cursor just before it; can fail on purpose.
class TRecordingFileList : public TFileListBox {
 public:
  using TFileListBox::TFileListBox;

  struct TInsertion {
    int Index;
    TCursor CursorBefore;
  };
  std::vector<TInsertion> Insertions;
  int FailAtInsertion = -1;

  int AddItem(const std::string& Text, TObject* Object) override {
    if (static_cast<int>(Insertions.size()) == FailAtInsertion) throw EAbort("stop");
    const TCursor before = Screen->Cursor();
    const int index = TFileListBox::AddItem(Text, Object);
    Insertions.push_back({index, before});
    return index;
  }
  void PressKey(uint16_t key) { DispatchKeyDown(key, {}); }
  using TFileListBox::LinkDirList;
};

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.SetBounds(0, 0, 400, 400);
    ASSERT_TRUE(SetCurrentDirectoryA(tree.Path()));
    list = new TRecordingFileList(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 145, 200);
    list->OnChange = [this](TObject*) { events.push_back("change"); };
    list->OnClick = [this](TObject*) { events.push_back("click"); };
  }
  // Creates the window: the first fill.
  void Show() { list->HandleNeeded(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < list->Count(); ++i) names.push_back(list->Items(i));
    return names;
  }
  int Changes() const { return static_cast<int>(std::count(events.begin(), events.end(), "change")); }

  using Names_t = std::vector<std::string>;
  TTempTree tree;
  TForm form{nullptr};
  TRecordingFileList* list = nullptr;
  std::vector<std::string> events;
};

TEST_F(FileListTest, StartsInTheCurrentDirectoryAndFillsOnlyOnceTheWindowExists) {
  tree.File("b.jpg");
  tree.File("A.jpg");
  tree.Directory("other");
  tree.File("other/c.gif");
  EXPECT_EQ(list->Directory(), tree.Path());
  EXPECT_EQ(list->Mask(), "*.*");
  EXPECT_EQ(list->FileType(), TFileType{ftNormal});
  EXPECT_EQ(list->FileType().Bits(), 0x40u);
  EXPECT_EQ(list->Width(), 145);
  EXPECT_TRUE(list->Sorted());
  EXPECT_FALSE(list->MultiSelect());
  EXPECT_FALSE(list->IntegralHeight());
  EXPECT_TRUE(list->ExtendedSelect());

  list->SetMask("*.gif");
  list->SetDirectory(tree.Path("other"));
  EXPECT_EQ(list->Directory(), tree.Path("other"));
  EXPECT_EQ(list->Count(), 0);
  EXPECT_TRUE(events.empty());

  Show();
  EXPECT_EQ(Names(), Names_t{"c.gif"});
  EXPECT_EQ(events, Names_t{"change"});  // every fill ends with the selection-changed step
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path("other"));
}

TEST_F(FileListTest, DefaultTypeListsReadOnlyAndArchiveButNotHiddenSystemOrDirectories) {
  tree.File("plain.jpg");
  tree.ReadOnlyFile("locked.jpg");
  tree.File(".secret.jpg");
  tree.Fifo("pipe.jpg");
  tree.Directory("folder.jpg");
  Show();
  EXPECT_EQ(Names(), (Names_t{"locked.jpg", "plain.jpg"}));
}

TEST_F(FileListTest, DirectoriesAreBracketedWithDotEntriesAwayFromARoot) {
  tree.File("a.bmp");
  tree.Directory("sub");
  list->SetFileType({ftNormal, ftDirectory});
  Show();
  EXPECT_EQ(Names(), (Names_t{"[..]", "[.]", "[sub]", "a.bmp"}));
  EXPECT_EQ(list->Objects(2), nullptr);  // no folder glyph while glyphs are off

  list->SetMask("*.bmp");
  EXPECT_EQ(Names(), Names_t{"a.bmp"});
}

TEST_F(FileListTest, HiddenTypeAloneListsOnlyHiddenEntries) {
  tree.File("seen.jpg");
  tree.File(".unseen.jpg");
  tree.Directory(".hidden-dir");
  list->SetFileType({ftHidden});
  Show();
  EXPECT_EQ(Names(), Names_t{".unseen.jpg"});
}

TEST_F(FileListTest, MaskPiecesAreSearchedOneByOneWithoutDeduplication) {
  tree.File("a.jpg");
  tree.File("b.gif");
  tree.File("c.txt");
  list->SetMask("*.jpg;");  // the empty last piece adds nothing
  Show();
  EXPECT_EQ(Names(), Names_t{"a.jpg"});
  list->SetMask("*.jpg;a*;*.GIF");
  EXPECT_EQ(Names(), (Names_t{"a.jpg", "a.jpg", "b.gif"}));
  list->SetMask("nomatch*;;");
  EXPECT_EQ(list->Count(), 0);
}

TEST_F(FileListTest, ReadOnlyAndSystemTypesAskForTheAttributesTheyNeed) {
  tree.File("plain.jpg");
  tree.ReadOnlyFile("locked.jpg");
  tree.Fifo("pipe.jpg");
  tree.Directory("sub");
  list->SetFileType({ftReadOnly});
  Show();
  EXPECT_EQ(Names(), Names_t{"locked.jpg"});
  list->SetFileType({ftSystem});
  EXPECT_EQ(Names(), Names_t{"pipe.jpg"});
  list->SetFileType({ftDirectory, ftArchive});
  EXPECT_EQ(Names(), (Names_t{"[..]", "[.]", "[sub]", "locked.jpg", "plain.jpg"}));
}

TEST_F(FileListTest, OneDirectoryPassPerFillAndOneForAStartUpChain) {
  tree.File("a.jpg");
  tree.File("b.GIF");
  tree.File("c.txt");
  list->SetMask("*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico;c.txt");  // a plain name is looked up directly
  Show();
  std::uint64_t reads = TDirectoryListing::ReadCount();
  list->UpdateList();
  EXPECT_EQ(TDirectoryListing::ReadCount(), reads + 1);
  EXPECT_EQ(Names(), (Names_t{"a.jpg", "b.GIF", "c.txt"}));

  // A folder not touched lately is read once however often the controls ask in a start-up chain.
  const struct timespec past[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, tree.Native(".").c_str(), past, 0), 0);
  reads = TDirectoryListing::ReadCount();
  {
    TDirectoryListing::TReuseScope scope;
    list->UpdateList();
    list->SetMask("*.jpg");
    list->UpdateList();
  }
  EXPECT_EQ(TDirectoryListing::ReadCount(), reads + 1);
  EXPECT_EQ(Names(), Names_t{"a.jpg"});
  list->UpdateList();  // outside the chain every fill reads again
  EXPECT_EQ(TDirectoryListing::ReadCount(), reads + 2);
}

TEST_F(FileListTest, MaskInOtherCaseRefillsButTheSameTextDoesNot) {
  tree.File("a.jpg");
  list->SetMask("*.jpg");
  Show();
  const int afterShow = Changes();
  list->SetMask("*.JPG");
  EXPECT_EQ(Changes(), afterShow + 1);
  list->SetMask("*.JPG");
  EXPECT_EQ(Changes(), afterShow + 1);
  list->SetFileType({ftNormal});  // the same set: nothing either
  EXPECT_EQ(Changes(), afterShow + 1);
  list->SetFileType({ftNormal, ftReadOnly});
  EXPECT_EQ(Changes(), afterShow + 2);
}

TEST_F(FileListTest, GlyphsFollowTheExtensionAndTheGlyphSwitch) {
  tree.File("SETUP.EXE");
  tree.File("run.Bat");
  tree.File("README");
  tree.File("x.jpg");
  tree.Directory("sub");
  ASSERT_NE(list->ExecutableGlyph(), nullptr);
  EXPECT_EQ(list->ExecutableGlyph()->ImageWidth(), 16);
  EXPECT_EQ(list->ExecutableGlyph()->ImageHeight(), 15);
  list->SetFileType({ftNormal, ftDirectory});
  list->SetMask("*.exe;*.bat;README;x.jpg;sub");
  Show();
  ASSERT_EQ(Names(), (Names_t{"[sub]", "README", "run.Bat", "SETUP.EXE", "x.jpg"}));
  EXPECT_EQ(list->Objects(0), nullptr);
  EXPECT_EQ(list->Objects(1), list->UnknownGlyph());
  EXPECT_EQ(list->Objects(2), list->ExecutableGlyph());
  EXPECT_EQ(list->Objects(3), list->ExecutableGlyph());
  EXPECT_EQ(list->Objects(4), list->UnknownGlyph());

  list->SetItemHeight(10);
  list->SetShowGlyphs(true);
  EXPECT_EQ(list->ItemHeight(), 16);     // room for the 15-pixel glyph
  EXPECT_EQ(list->Objects(0), nullptr);  // directory items keep no glyph until the next fill
  list->UpdateList();
  EXPECT_EQ(list->Objects(0), list->FolderGlyph());
}

TEST_F(FileListTest, GlyphIsDrawnCentredWithItsBackgroundLeftOut) {
  tree.File("SETUP.EXE");
  list->SetShowGlyphs(true);
  Show();
  form.Show();
  ASSERT_EQ(list->ItemHeight(), 16);
  const QImage shown = list->Widget()->grab().toImage();
  const TRect row = list->ItemRect(0);
  const int glyphTop = (row.Top + row.Bottom - 15) / 2;
  auto rgb = [&](int x, int y) { return shown.pixel(x, y) & 0xFFFFFFu; };
  // The glyph's top-left pixel is background colour: the list's white shows through.
  EXPECT_EQ(rgb(2, glyphTop), 0xFFFFFFu);
  // Its frame is black, its title bar navy, starting two pixels in.
  EXPECT_EQ(rgb(2, glyphTop + 1), 0x000000u);
  EXPECT_EQ(rgb(3, glyphTop + 2), 0x000080u);
  EXPECT_EQ(rgb(1, glyphTop + 2), 0xFFFFFFu);
  // The text starts 6 pixels after the glyph: nothing dark between them.
  for (int x = 19; x < 22; ++x) {
    for (int y = row.Top; y < row.Bottom; ++y) EXPECT_EQ(rgb(x, y), 0xFFFFFFu) << x << "," << y;
  }
}

TEST_F(FileListTest, SelectedNameSelectsAnyCaseAndMissingNamesClearTheSelection) {
  tree.File("Alpha.jpg");
  tree.File("beta.jpg");
  Show();
  events.clear();
  list->SetSelectedName("ALPHA.JPG");
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->SelectedName(), "Alpha.jpg");
  EXPECT_EQ(list->SelectedPath(), tree.Path("Alpha.jpg"));
  EXPECT_EQ(Changes(), 1);
  list->SetSelectedName("alpha.jpg");  // the same name: nothing happens
  EXPECT_EQ(Changes(), 1);
  list->SetSelectedName("gamma.jpg");
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->SelectedName(), "");
  EXPECT_EQ(list->SelectedPath(), "");
  EXPECT_EQ(Changes(), 2);
}

TEST_F(FileListTest, KeyboardRunsTheClickBeforeTheChange) {
  tree.File("a.jpg");
  tree.File("b.jpg");
  Show();
  events.clear();
  list->PressKey(VK_DOWN);
  EXPECT_EQ(events, (Names_t{"click", "change"}));
  list->PressKey(VK_DOWN);
  EXPECT_EQ(list->SelectedName(), "b.jpg");
  EXPECT_EQ(events, (Names_t{"click", "change", "click", "change"}));
  // A click on the selected item runs the click handling but changes nothing.
  const TRect row = list->ItemRect(1);
  list->DispatchMouseDown(mbLeft, {}, 5, row.Top + 2, false);
  EXPECT_EQ(events.back(), "click");
  EXPECT_EQ(Changes(), 2);
}

TEST_F(FileListTest, ApplyPathTextMovesAndSetsPatternsOrSelects) {
  tree.Directory("pics");
  tree.File("pics/cat.gif");
  tree.File("pics/dog.jpg");
  tree.File("pics/notes.txt");
  list->SetMask("*.jpg;*.gif");
  Show();

  list->ApplyPathText(tree.Path("pics\\*.gif"));
  EXPECT_EQ(list->Directory(), tree.Path("pics"));
  EXPECT_EQ(list->Mask(), "*.gif");
  EXPECT_EQ(Names(), Names_t{"cat.gif"});

  list->ApplyPathText(tree.Path("pics\\notes.txt"));  // exists, but the mask hides it
  EXPECT_EQ(list->Mask(), "notes.txt");
  EXPECT_EQ(Names(), Names_t{"notes.txt"});
  EXPECT_EQ(list->SelectedName(), "notes.txt");

  events.clear();
  std::string upper = list->SelectedPath();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  list->ApplyPathText(upper);  // the selected path in other capitals: nothing happens
  list->ApplyPathText("");
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(list->Mask(), "notes.txt");
}

TEST_F(FileListTest, ApplyPathTextWithAMissingFileRaisesWithTheWholeText) {
  tree.Directory("pics");
  tree.File("pics/cat.gif");
  tree.File("pics/bird.gif");
  list->SetMask("*.gif");
  Show();
  // A wildcard-free name that is no file is taken as a directory, which cannot be entered; the
  // list is left as it was.
  EXPECT_THROW(list->ApplyPathText(tree.Path("pics\\ghost.gif")), EInOutError);
  EXPECT_EQ(list->Directory(), tree.Path());

  // The file vanishes while the list moves to its directory.
  bool armed = true;
  list->OnChange = [&](TObject*) {
    if (armed) std::filesystem::remove(tree.Native("pics/bird.gif"));
    armed = false;
  };
  const std::string text = tree.Path("pics\\bird.gif");
  try {
    list->ApplyPathText(text);
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid file name - " + text);
  }
  EXPECT_EQ(list->Directory(), tree.Path("pics"));
}

TEST_F(FileListTest, UnreachableDirectoryRaisesAndKeepsDirectoryAndItems) {
  tree.File("keep.jpg");
  Show();
  try {
    list->SetDirectory(tree.Path("missing"));
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_EQ(list->Directory(), tree.Path());
  EXPECT_EQ(Names(), Names_t{"keep.jpg"});
  // The same directory in other capitals is no change at all.
  const int changes = Changes();
  std::string upper = tree.Path();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  list->SetDirectory(upper);
  EXPECT_EQ(Changes(), changes);
}

TEST_F(FileListTest, HourglassFromTheInsertionAtIndex100UntilTheEnd) {
  // Exact-name pieces in ascending order make insertion k land at index k.
  std::string ascending;
  std::string descending;
  for (int i = 0; i < 150; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d", i);
    tree.File(name);
    ascending += std::string(ascending.empty() ? "" : ";") + name;
    descending = name + std::string(descending.empty() ? "" : ";") + descending;
  }
  Screen->SetCursor(crCross);
  list->SetMask(ascending);
  Show();
  ASSERT_EQ(list->Insertions.size(), 150u);
  for (int k = 0; k < 150; ++k) {
    EXPECT_EQ(list->Insertions[k].Index, k);
    EXPECT_EQ(list->Insertions[k].CursorBefore, k <= 100 ? crCross : crHourGlass) << k;
  }
  EXPECT_EQ(Screen->Cursor(), crCross);  // the remembered cursor, not the default one

  list->Insertions.clear();
  list->SetMask(descending);  // every insertion lands at index 0
  for (const auto& insertion : list->Insertions) EXPECT_EQ(insertion.CursorBefore, crCross);

  // Only index 100 itself counts: 102 names at index 0, then two landing beyond 100.
  std::string jumpsPast;
  for (int i = 101; i >= 0; --i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d;", i);
    jumpsPast += name;
  }
  list->Insertions.clear();
  list->SetMask(jumpsPast + "f149;f148");
  ASSERT_EQ(list->Insertions.size(), 104u);
  EXPECT_EQ(list->Insertions[102].Index, 102);
  EXPECT_EQ(list->Insertions[103].CursorBefore, crCross);

  // An exception in the middle of the fill still restores the cursor.
  list->SetMask(ascending);
  list->Insertions.clear();
  list->FailAtInsertion = 120;
  EXPECT_THROW(list->UpdateList(), EAbort);
  ASSERT_EQ(list->Insertions.size(), 120u);
  EXPECT_EQ(list->Insertions.back().CursorBefore, crHourGlass);
  EXPECT_EQ(Screen->Cursor(), crCross);
  Screen->SetCursor(crDefault);
}

TEST_F(FileListTest, FileEditMirrorsTheSelectionAndIsForgottenWhenDestroyed) {
  tree.File("one.jpg");
  Show();
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  list->SetFileEdit(edit);
  EXPECT_EQ(edit->Text(), "*.*");
  list->SetSelectedName("one.jpg");
  EXPECT_EQ(edit->Text(), "one.jpg");
  delete edit;
  EXPECT_EQ(list->FileEdit(), nullptr);
  list->SetSelectedName("");  // must not touch the destroyed edit
  EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(FileListTest, DirectoryListLinkGetsTypedPathsAndIsForgotten) {
  tree.Directory("pics");
  tree.File("pics/a.jpg");
  Show();
  // A component standing in for the directory list: it records the texts it is handed.
  auto* dirList = new TComponent(nullptr);
  std::vector<std::string> received;
  list->LinkDirList(nullptr, dirList, [&](const std::string& path) { received.push_back(path); });
  dirList->FreeNotification(list);
  list->ApplyPathText(tree.Path("pics\\*.jpg"));
  EXPECT_EQ(received, Names_t{tree.Path("pics\\*.jpg")});
  EXPECT_EQ(list->Directory(), tree.Path());  // moving is the directory list's business
  EXPECT_EQ(list->Mask(), "*.jpg");

  delete dirList;
  list->ApplyPathText(tree.Path("pics\\*.jpg"));  // without the link the list moves itself
  EXPECT_EQ(received.size(), 1u);
  EXPECT_EQ(list->Directory(), tree.Path("pics"));
  EXPECT_EQ(Names(), Names_t{"a.jpg"});
}

}  // namespace
}  // namespace lumivane
