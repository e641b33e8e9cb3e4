// Comparing paths as files and telling regular files apart, without opening anything.
#include "platform/file_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "temp_folder_test.h"

namespace lumivane {
namespace {

using FileIdentityTest = TempFolderTest;

TEST_F(FileIdentityTest, PathsNamingOneFileAreTheSameFile) {
  MakeFolder("pics");
  WriteFile("pics/one.bmp", "one");
  WriteFile("pics/two.bmp", "one");
  MakeFolder("other");
  std::filesystem::create_hard_link(Native("pics/one.bmp"), Native("other/one.bmp"));
  std::filesystem::create_directory_symlink(Native("pics"), Native("linked"));
  std::filesystem::create_symlink(Native("pics/one.bmp"), Native("shortcut.bmp"));

  EXPECT_TRUE(IsSameFile(Program("pics\\one.bmp"), Program("pics\\one.bmp")));
  EXPECT_TRUE(IsSameFile(Program("pics\\one.bmp"), Program("pics\\..\\pics\\one.bmp")));
  EXPECT_TRUE(IsSameFile(Program("pics\\one.bmp"), Program("linked\\one.bmp")));
  EXPECT_TRUE(IsSameFile(Program("pics\\one.bmp"), Program("other\\one.bmp")));
  EXPECT_TRUE(IsSameFile(Program("shortcut.bmp"), Program("pics\\one.bmp")));
  EXPECT_TRUE(IsSameFile(Program("pics") + "\\\\one.bmp", Program("pics\\one.bmp"))) << "doubled separator";

  EXPECT_FALSE(IsSameFile(Program("pics\\one.bmp"), Program("pics\\two.bmp"))) << "equal content only";
  EXPECT_FALSE(IsSameFile(Program("pics\\one.bmp"), Program("pics\\missing.bmp")));
  EXPECT_FALSE(IsSameFile(Program("pics\\missing.bmp"), Program("pics\\missing.bmp")));
}

TEST_F(FileIdentityTest, OnlyRegularFilesAreRegular) {
  WriteFile("a.bmp", "a");
  MakeFolder("dir");
  ASSERT_EQ(::mkfifo(Native("pipe.bmp").c_str(), 0644), 0);
  std::filesystem::create_symlink(Native("a.bmp"), Native("link.bmp"));
  std::filesystem::create_symlink(Native("pipe.bmp"), Native("pipelink.bmp"));
  EXPECT_TRUE(IsRegularFile(Program("a.bmp")));
  EXPECT_TRUE(IsRegularFile(Program("link.bmp")));
  EXPECT_FALSE(IsRegularFile(Program("dir")));
  EXPECT_FALSE(IsRegularFile(Program("pipe.bmp")));
  EXPECT_FALSE(IsRegularFile(Program("pipelink.bmp")));
  EXPECT_FALSE(IsRegularFile("C:\\dev\\null"));
  EXPECT_FALSE(IsRegularFile(Program("missing.bmp")));
}

}  // namespace
}  // namespace lumivane
