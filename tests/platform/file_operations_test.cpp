#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "fifo_guard.h"
#include "platform/file_handle.h"
#include "platform/file_operations.h"
#include "platform/platform_error.h"
#include "temp_folder_test.h"

namespace lumivane {
namespace {

class FileOperationsTest : public TempFolderTest {
 protected:
  struct stat Status(const std::string& relative) const {
    struct stat status {};
    EXPECT_EQ(::stat(Native(relative).c_str(), &status), 0) << relative;
    return status;
  }

  void SetModificationTime(const std::string& relative, time_t seconds) const {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Native(relative).c_str(), times, 0), 0);
  }

  bool Exists(const std::string& relative) const { return std::filesystem::exists(Native(relative)); }

  // A second volume for moves across volumes: /dev/shm, a RAM file system, when it is not the
  // temporary folder's own. Empty when there is none.
  std::string OtherVolumeFolder() {
    struct stat shm {};
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == Status("").st_dev) return "";
    char pattern[] = "/dev/shm/lumivane-move-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return "";
    others_.push_back(pattern);
    return pattern;
  }
  void TearDown() override {
    for (const std::string& folder : others_) std::filesystem::remove_all(folder);
    TempFolderTest::TearDown();
  }

  std::vector<std::string> others_;
};

TEST_F(FileOperationsTest, AttributesAndExistence) {
  WriteFile("a.jpg", "x");
  WriteFile(".hidden", "x", 0400);
  MakeFolder("dir");
  EXPECT_EQ(GetFileAttributesA(Program("a.jpg")), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA(Program(".hidden")),
            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesA(Program("dir")), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA("C:\\"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(Program("none")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(Program("none\\a.jpg")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  EXPECT_TRUE(FileExists(Program("a.jpg")));
  EXPECT_FALSE(FileExists(Program("dir")));
  EXPECT_FALSE(FileExists(Program("none")));
  EXPECT_TRUE(DirectoryExists(Program("dir")));
  EXPECT_TRUE(DirectoryExists(Program("dir\\..")));
  EXPECT_FALSE(DirectoryExists(Program("a.jpg")));
  EXPECT_FALSE(DirectoryExists("Q:\\"));
}

TEST_F(FileOperationsTest, CopyReplacesTheTargetInOneStepKeepingTimeAndMode) {
  WriteFile("src.jpg", "new contents", 0640);
  SetModificationTime("src.jpg", 1600000000);
  WriteFile("dst.jpg", "old and longer contents");
  const ino_t targetInode = Status("dst.jpg").st_ino;

  ASSERT_TRUE(CopyFileA(Program("src.jpg"), Program("dst.jpg"), FALSE));
  EXPECT_EQ(ReadFile("dst.jpg"), "new contents");
  EXPECT_NE(Status("dst.jpg").st_ino, targetInode) << "a new file renamed over the old one";
  EXPECT_EQ(Status("dst.jpg").st_mode & 0777, 0640u);
  EXPECT_EQ(Status("dst.jpg").st_mtim.tv_sec, 1600000000);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"dst.jpg", "src.jpg"})) << "no temporary file stays";

  // Through a symbolic link the linked file gets the new content and the link stays.
  WriteFile("real.jpg", "old");
  std::filesystem::create_symlink(Native("real.jpg"), Native("link.jpg"));
  ASSERT_TRUE(CopyFileA(Program("src.jpg"), Program("link.jpg"), FALSE));
  EXPECT_TRUE(std::filesystem::is_symlink(Native("link.jpg")));
  EXPECT_EQ(ReadFile("real.jpg"), "new contents");
  std::filesystem::remove(Native("link.jpg"));
  std::filesystem::remove(Native("real.jpg"));

  ASSERT_TRUE(CopyFileA(Program("src.jpg"), Program("fresh.jpg"), TRUE));
  EXPECT_EQ(ReadFile("fresh.jpg"), "new contents");
  EXPECT_EQ(Status("fresh.jpg").st_mtim.tv_sec, 1600000000);
}

TEST_F(FileOperationsTest, CopyRefusesWithoutDamagingAnything) {
  WriteFile("src.jpg", "source");
  WriteFile("dst.jpg", "target");
  WriteFile("locked.jpg", "locked", 0444);
  MakeFolder("dir");

  EXPECT_FALSE(CopyFileA(Program("src.jpg"), Program("dst.jpg"), TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadFile("dst.jpg"), "target");

  EXPECT_FALSE(CopyFileA(Program("src.jpg"), Program("SUB\\..\\src.jpg"), FALSE));  // missing SUB
  EXPECT_FALSE(CopyFileA(Program("src.jpg"), Program("src.jpg"), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadFile("src.jpg"), "source");

  EXPECT_FALSE(CopyFileA(Program("src.jpg"), Program("locked.jpg"), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadFile("locked.jpg"), "locked");

  EXPECT_FALSE(CopyFileA(Program("missing.jpg"), Program("new.jpg"), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(Exists("new.jpg"));
  EXPECT_FALSE(CopyFileA(Program("dir"), Program("new.jpg"), FALSE));
  EXPECT_FALSE(Exists("new.jpg"));
  EXPECT_FALSE(CopyFileA(Program("src.jpg"), Program("nowhere\\new.jpg"), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileOperationsTest, MoveRenamesButNeverReplaces) {
  WriteFile("a.jpg", "a");
  WriteFile("b.jpg", "b");
  WriteFile("locked.jpg", "locked", 0444);
  MakeFolder("dir");

  EXPECT_FALSE(MoveFileA(Program("a.jpg"), Program("b.jpg")));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadFile("a.jpg"), "a");
  EXPECT_EQ(ReadFile("b.jpg"), "b");

  ASSERT_TRUE(MoveFileA(Program("a.jpg"), Program("dir\\A.JPG")));
  EXPECT_FALSE(Exists("a.jpg"));
  EXPECT_EQ(ReadFile("dir/A.JPG"), "a");

  ASSERT_TRUE(MoveFileA(Program("locked.jpg"), Program("renamed.jpg")));  // read-only files move
  EXPECT_EQ(ReadFile("renamed.jpg"), "locked");

  EXPECT_FALSE(MoveFileA(Program("gone.jpg"), Program("x.jpg")));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileA(Program("b.jpg"), Program("nowhere\\b.jpg")));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ReadFile("b.jpg"), "b");
}

TEST_F(FileOperationsTest, MoveToAnotherVolumeCopiesThenRemovesTheSource) {
  const std::string other = OtherVolumeFolder();
  if (other.empty()) GTEST_SKIP() << "no second volume";

  WriteFile("a.jpg", "across", 0600);
  SetModificationTime("a.jpg", 1500000000);
  const std::string target = NativeToProgramPath(other + "/a.jpg");
  ASSERT_TRUE(MoveFileA(Program("a.jpg"), target));
  EXPECT_FALSE(Exists("a.jpg"));
  struct stat moved {};
  ASSERT_EQ(::stat((other + "/a.jpg").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(moved.st_size, 6);

  // A folder does not move across volumes, and stays where it was.
  MakeFolder("dir");
  EXPECT_FALSE(MoveFileA(Program("dir"), NativeToProgramPath(other + "/dir")));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_TRUE(Exists("dir"));
  EXPECT_FALSE(std::filesystem::exists(other + "/dir"));
}

TEST_F(FileOperationsTest, MoveReplacingSwapsTheTargetInOneStep) {
  WriteFile("a.jpg", "new", 0600);
  SetModificationTime("a.jpg", 1400000000);
  MakeFolder("to");
  WriteFile("to/a.jpg", "old target");
  EXPECT_FALSE(MoveFileExA(Program("a.jpg"), Program("to\\a.jpg"), MOVEFILE_COPY_ALLOWED));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExA(Program("a.jpg"), Program("to\\a.jpg"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(Exists("a.jpg"));
  EXPECT_EQ(ReadFile("to/a.jpg"), "new");
  EXPECT_EQ(Status("to/a.jpg").st_mtim.tv_sec, 1400000000);
  EXPECT_EQ(Entries("to"), std::vector<std::string>{"a.jpg"});

  WriteFile("b.jpg", "b");
  WriteFile("to/b.jpg", "locked", 0444);
  EXPECT_FALSE(MoveFileExA(Program("b.jpg"), Program("to\\b.jpg"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  MakeFolder("to/c.jpg");
  WriteFile("c.jpg", "c");
  EXPECT_FALSE(MoveFileExA(Program("c.jpg"), Program("to\\c.jpg"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadFile("b.jpg"), "b");
  EXPECT_EQ(ReadFile("to/b.jpg"), "locked");
  EXPECT_EQ(ReadFile("c.jpg"), "c");
}

TEST_F(FileOperationsTest, NothingIsMovedOrCopiedOntoItself) {
  MakeFolder("pics");
  WriteFile("pics/one.jpg", "the only copy");
  MakeFolder("other");
  std::filesystem::create_hard_link(Native("pics/one.jpg"), Native("other/one.jpg"));
  std::filesystem::create_directory_symlink(Native("pics"), Native("linked"));
  for (const char* target : {"pics\\one.jpg", "pics\\.\\one.jpg", "linked\\one.jpg", "other\\one.jpg"}) {
    SCOPED_TRACE(target);
    EXPECT_FALSE(MoveFileExA(Program("pics\\one.jpg"), Program(target),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(CopyFileA(Program("pics\\one.jpg"), Program(target), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadFile("pics/one.jpg"), "the only copy");
    EXPECT_EQ(ReadFile("other/one.jpg"), "the only copy");
    EXPECT_EQ(Entries("pics"), std::vector<std::string>{"one.jpg"});
  }
}

TEST_F(FileOperationsTest, OverwritingMoveAcrossVolumesKeepsTheSourceUntilTheTargetIsComplete) {
  const std::string other = OtherVolumeFolder();
  if (other.empty()) GTEST_SKIP() << "no second volume";
  WriteFile("a.jpg", "replacement", 0640);
  SetModificationTime("a.jpg", 1300000000);
  std::ofstream(other + "/a.jpg") << "old";
  ASSERT_TRUE(MoveFileExA(Program("a.jpg"), NativeToProgramPath(other + "/a.jpg"),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(Exists("a.jpg"));
  struct stat moved {};
  ASSERT_EQ(::stat((other + "/a.jpg").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mtim.tv_sec, 1300000000);
  EXPECT_EQ(moved.st_mode & 0777, 0640u);
  EXPECT_EQ(std::filesystem::file_size(other + "/a.jpg"), 11u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(other), {}), 1) << "no temporary file stays";

  // Without leave to copy, nothing moves to another volume.
  WriteFile("b.jpg", "b");
  EXPECT_FALSE(MoveFileExA(Program("b.jpg"), NativeToProgramPath(other + "/b.jpg"), 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
  EXPECT_TRUE(Exists("b.jpg"));
}

TEST_F(FileOperationsTest, FifosAreNeverOpened) {
  TFifoGuard fifo(Native("pipe.jpg"));
  WriteFile("a.jpg", "a");
  EXPECT_EQ(FileOpen(Program("pipe.jpg"), 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FileOpen(Program("pipe.jpg"), 1), -1);
  EXPECT_EQ(FileCreate(Program("pipe.jpg")), -1);
  EXPECT_EQ(FileOpen("C:\\dev\\null", 0), -1) << "nor devices";
  EXPECT_FALSE(CopyFileA(Program("pipe.jpg"), Program("copy.jpg"), FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CopyFileA(Program("a.jpg"), Program("pipe.jpg"), FALSE)) << "nor replaced";
  EXPECT_FALSE(MoveFileExA(Program("a.jpg"), Program("pipe.jpg"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadFile("a.jpg"), "a");
  EXPECT_FALSE(fifo.Released()) << "something waited on the FIFO";
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.jpg", "pipe.jpg"}));
}

TEST_F(FileOperationsTest, DeleteRefusesReadOnlyFilesAndFolders) {
  WriteFile("a.jpg", "a");
  WriteFile("locked.jpg", "locked", 0444);
  MakeFolder("dir");

  EXPECT_FALSE(DeleteFileA(Program("locked.jpg")));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Exists("locked.jpg"));
  EXPECT_FALSE(DeleteFileA(Program("dir")));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Exists("dir"));
  ASSERT_TRUE(DeleteFileA(Program("a.jpg")));
  EXPECT_FALSE(Exists("a.jpg"));
  EXPECT_FALSE(DeleteFileA(Program("a.jpg")));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileOperationsTest, MakeAndRemoveFolders) {
  ASSERT_TRUE(CreateDirectoryA(Program("new")));
  EXPECT_FALSE(CreateDirectoryA(Program("new")));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA(Program("a\\b")));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  WriteFile("new/f", "");
  EXPECT_FALSE(RemoveDirectoryA(Program("new")));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  std::filesystem::remove(Native("new/f"));
  EXPECT_TRUE(RemoveDirectoryA(Program("new")));
  EXPECT_FALSE(Exists("new"));
}

TEST_F(FileOperationsTest, FileHandlesReadWriteAndSeek) {
  const int created = FileCreate(Program("data.bin"));
  ASSERT_GE(created, 0);
  EXPECT_EQ(FileWrite(created, "0123456789", 10), 10);
  EXPECT_EQ(FileSeek(created, 0, 2), 10);
  EXPECT_EQ(FileSeek(created, -4, 1), 6);
  char buffer[16] = {};
  EXPECT_EQ(FileRead(created, buffer, 16), 4);  // only up to the end
  EXPECT_STREQ(buffer, "6789");
  EXPECT_EQ(FileSeek(created, -1, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  FileClose(created);

  const int reader = FileOpen(Program("data.bin"), 0x20);  // read, deny write: sharing is ignored
  ASSERT_GE(reader, 0);
  EXPECT_EQ(FileRead(reader, buffer, 3), 3);
  EXPECT_EQ(FileWrite(reader, "x", 1), -1);
  FileClose(reader);

  const int recreated = FileOpen(Program("data.bin"), FileModeCreate);
  ASSERT_GE(recreated, 0);
  EXPECT_EQ(FileSeek(recreated, 0, 2), 0);  // truncated
  FileClose(recreated);
}

TEST_F(FileOperationsTest, FileHandlesRefuseFoldersAndWritingReadOnlyFiles) {
  WriteFile("locked.txt", "locked", 0444);
  MakeFolder("dir");
  EXPECT_EQ(FileOpen(Program("missing"), 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FileOpen(Program("nowhere\\x"), 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FileOpen(Program("dir"), 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FileOpen(Program("locked.txt"), 2), -1);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FileCreate(Program("locked.txt")), -1);
  EXPECT_EQ(ReadFile("locked.txt"), "locked");
  const int reader = FileOpen(Program("locked.txt"), 0);
  EXPECT_GE(reader, 0);
  FileClose(reader);
}

}  // namespace
}  // namespace lumivane
