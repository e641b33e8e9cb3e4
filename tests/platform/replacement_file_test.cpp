// Replacing a file in one step: the old file stays whole until the rename, and no temporary file
// survives a failure at any step.
#include "platform/replacement_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "temp_folder_test.h"

namespace lumivane {
namespace {

class ReplacementFileTest : public TempFolderTest {
 protected:
  static void Write(const TReplacementFile& file, const std::string& content) {
    ASSERT_EQ(::write(file.Handle(), content.data(), content.size()), static_cast<ssize_t>(content.size()));
  }
};

TEST_F(ReplacementFileTest, CommitPutsTheNewContentInPlaceInOneStep) {
  WriteFile("photo.bmp", "old picture");
  TReplacementFile replacement(Native("photo.bmp"));
  ASSERT_TRUE(replacement.Create());
  EXPECT_EQ(std::filesystem::path(replacement.TemporaryPath()).parent_path(), Native());
  EXPECT_EQ(std::filesystem::path(replacement.TemporaryPath()).filename().string()[0], '.') << "hidden";
  Write(replacement, "new picture");
  EXPECT_EQ(ReadFile("photo.bmp"), "old picture") << "untouched until the rename";
  ASSERT_TRUE(replacement.Commit(true));
  EXPECT_EQ(ReadFile("photo.bmp"), "new picture");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.bmp"});
  EXPECT_EQ(replacement.Handle(), -1);
}

TEST_F(ReplacementFileTest, FailureBetweenWriteAndRenameLeavesTheOldFileAndNoTemporary) {
  WriteFile("photo.bmp", "old picture");
  {
    TReplacementFile replacement(Native("photo.bmp"));
    ASSERT_TRUE(replacement.Create());
    Write(replacement, "half a new pic");
    // The copy fails here: the replacement is given up without a commit.
  }
  EXPECT_EQ(ReadFile("photo.bmp"), "old picture");
  EXPECT_EQ(Entries(), std::vector<std::string>{"photo.bmp"});
}

TEST_F(ReplacementFileTest, FailingRenameLeavesTheTargetAndNoTemporary) {
  // A folder with content cannot be renamed over: the rename itself fails.
  MakeFolder("busy");
  WriteFile("busy/inside.bmp", "keep");
  TReplacementFile over(Native("busy"));
  ASSERT_TRUE(over.Create());
  Write(over, "content");
  EXPECT_FALSE(over.Commit(true));
  EXPECT_EQ(ReadFile("busy/inside.bmp"), "keep");
  EXPECT_EQ(Entries(), std::vector<std::string>{"busy"});

  // Without replacing, an existing target is refused.
  WriteFile("photo.bmp", "old picture");
  TReplacementFile fresh(Native("photo.bmp"));
  ASSERT_TRUE(fresh.Create());
  Write(fresh, "new");
  EXPECT_FALSE(fresh.Commit(false));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile("photo.bmp"), "old picture");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"busy", "photo.bmp"}));

  TReplacementFile created(Native("new.bmp"));
  ASSERT_TRUE(created.Create());
  Write(created, "new");
  ASSERT_TRUE(created.Commit(false));
  EXPECT_EQ(ReadFile("new.bmp"), "new");
}

TEST_F(ReplacementFileTest, NothingIsCreatedInAMissingFolder) {
  TReplacementFile replacement(Native("missing/photo.bmp"));
  EXPECT_FALSE(replacement.Create());
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(replacement.Commit(true));
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace lumivane
