#include "browse/path_helpers.h"

#include <gtest/gtest.h>

#include "framework/exception.h"
#include "framework/font.h"
#include "platform/current_directory.h"
#include "temp_tree.h"

namespace lumivane {
namespace {

using testing::TTempTree;

TEST(PathHelpers, FileNameComparisonIgnoresCaseButNotOtherDifferences) {
  EXPECT_TRUE(SameFileName("Photo.JPG", "photo.jpg"));
  EXPECT_TRUE(SameFileName("ÄRGER.gif", "ärger.GIF"));  // beyond ASCII too
  EXPECT_FALSE(SameFileName("photo.jpg", "photo.jpeg"));
  EXPECT_FALSE(SameFileName("a b", "ab"));
  EXPECT_LT(CompareFileNames("apple", "Banana"), 0);
  EXPECT_GT(CompareFileNames("cherry", "BANANA"), 0);
  EXPECT_EQ(CompareFileNames("", ""), 0);
}

TEST(PathHelpers, JoinPathAddsOneSeparator) {
  EXPECT_EQ(JoinPath("C:\\", "a.jpg"), "C:\\a.jpg");
  EXPECT_EQ(JoinPath("C:\\Pictures", "a.jpg"), "C:\\Pictures\\a.jpg");
  EXPECT_EQ(JoinPath("C:\\Pictures\\", "[sub]"), "C:\\Pictures\\[sub]");
  EXPECT_EQ(JoinPath("", "a"), "\\a");
}

TEST(PathHelpers, FontLineHeightGrowsWithTheFont) {
  TFont small;
  TFont large;
  large.SetHeight(-24);
  const int smallHeight = FontLineHeight(small);
  EXPECT_GE(smallHeight, 11);
  EXPECT_GT(FontLineHeight(large), smallHeight);
}

TEST(PathHelpers, EnterDirectoryRaisesTheRuntimeError) {
  TTempTree tree;
  EnterDirectory(tree.Path());
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path());
  try {
    EnterDirectory(tree.Path("missing"));
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path());
}

class SplitPathInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.Directory("pics/sub");
    tree.File("pics/cat.jpg");
    tree.File("top.gif");
    ASSERT_TRUE(SetCurrentDirectoryA(tree.Path()));
  }
  // The directory part with the drive letter put back, for comparing with program paths.
  static std::string Full(const TPathInput& parts) {
    return std::string(1, parts.Drive) + ":" + parts.DirPart;
  }
  TTempTree tree;
};

TEST_F(SplitPathInputTest, SplitsDirectoryAndFileOrPattern) {
  const TPathInput file = SplitPathInput(tree.Path("pics\\cat.jpg"));
  EXPECT_EQ(file.Drive, 'C');
  EXPECT_EQ(Full(file), tree.Path("pics"));
  EXPECT_EQ(file.NamePart, "cat.jpg");

  const TPathInput pattern = SplitPathInput(tree.Path("pics\\*.gif"));
  EXPECT_EQ(Full(pattern), tree.Path("pics"));
  EXPECT_EQ(pattern.NamePart, "*.gif");
  // The current directory is only changed while splitting.
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path());
}

TEST_F(SplitPathInputTest, NameThatIsNoFileBecomesPartOfTheDirectory) {
  const TPathInput dir = SplitPathInput(tree.Path("pics\\sub"));
  EXPECT_EQ(Full(dir), tree.Path("pics\\sub"));
  EXPECT_EQ(dir.NamePart, "");

  const TPathInput relative = SplitPathInput("pics");  // relative to the current directory
  EXPECT_EQ(Full(relative), tree.Path("pics"));
  EXPECT_EQ(relative.NamePart, "");

  const TPathInput bare = SplitPathInput("top.gif");  // a file in the current directory
  EXPECT_EQ(Full(bare), tree.Path());
  EXPECT_EQ(bare.NamePart, "top.gif");

  const TPathInput trailing = SplitPathInput(tree.Path("pics") + "\\");
  EXPECT_EQ(Full(trailing), tree.Path("pics"));
  EXPECT_EQ(trailing.NamePart, "");
}

TEST_F(SplitPathInputTest, BracketedDirectoryItemAndDriveRoot) {
  ASSERT_TRUE(SetCurrentDirectoryA(tree.Path("pics")));
  const TPathInput item = SplitPathInput("[sub]");
  EXPECT_EQ(Full(item), tree.Path("pics\\sub"));
  EXPECT_EQ(item.NamePart, "");

  const TPathInput root = SplitPathInput("C:\\");
  EXPECT_EQ(root.Drive, 'C');
  EXPECT_EQ(root.DirPart, "\\");
  EXPECT_EQ(root.NamePart, "");
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path("pics"));
}

TEST_F(SplitPathInputTest, MissingDirectoryRaisesAndRestoresTheCurrentDirectory) {
  EXPECT_THROW(SplitPathInput(tree.Path("nowhere\\cat.jpg")), EInOutError);
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path());
  // A missing last component is taken as a directory that cannot be entered.
  EXPECT_THROW(SplitPathInput(tree.Path("pics\\missing.jpg")), EInOutError);
  EXPECT_EQ(GetCurrentDirectoryA(), tree.Path());
}

}  // namespace
}  // namespace lumivane
