#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/current_directory.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"
#include "temp_folder_test.h"

namespace lumivane {
namespace {

std::string RealWorkingDirectory() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

class PathConversionTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    InstallDriveTable(
        TDriveTable::FromMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                   "2 1 8:17 / /media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
                                   "3 1 0:50 / /srv/pics rw - nfs4 nas:/export/pics rw\n",
                                   {}));
  }
};

TEST_F(PathConversionTest, NativePathsGetTheLetterOfTheDriveHoldingThem) {
  EXPECT_EQ(NativeToProgramPath("/home/ann/x.jpg"), "C:\\home\\ann\\x.jpg");
  EXPECT_EQ(NativeToProgramPath("/"), "C:\\");
  EXPECT_EQ(NativeToProgramPath("/media/ann/USB STICK"), "D:\\");
  EXPECT_EQ(NativeToProgramPath("/media/ann/USB STICK/dcim//x.jpg"), "D:\\dcim\\x.jpg");
  EXPECT_EQ(NativeToProgramPath("/media/ann/USB STICKY/x.jpg"), "C:\\media\\ann\\USB STICKY\\x.jpg");
  EXPECT_EQ(NativeToProgramPath("/srv/pics/./2023/../a.gif"), "E:\\a.gif");
  EXPECT_EQ(NativeToProgramPath("/srv/pics/.."), "C:\\srv");
}

TEST_F(PathConversionTest, ProgramPathsMapThroughMountPointsWithEitherSeparator) {
  EXPECT_EQ(ProgramToNativePath("C:\\home\\ann\\x.jpg").value(), "/home/ann/x.jpg");
  EXPECT_EQ(ProgramToNativePath("c:/home\\ann/x.jpg").value(), "/home/ann/x.jpg");
  EXPECT_EQ(ProgramToNativePath("D:\\dcim\\x.jpg").value(), "/media/ann/USB STICK/dcim/x.jpg");
  EXPECT_EQ(ProgramToNativePath("d:\\").value(), "/media/ann/USB STICK");
  EXPECT_EQ(ProgramToNativePath("D:\\..\\..\\a\\.\\b").value(), "/media/ann/USB STICK/a/b");
  EXPECT_EQ(ProgramToNativePath("C:\\\\pics\\\\a.jpg").value(), "/pics/a.jpg");  // doubled separators
  EXPECT_EQ(ProgramToNativePath("\\\\NAS\\export\\pics\\2023").value(), "/srv/pics/2023");

  EXPECT_FALSE(ProgramToNativePath("Q:\\x").has_value());
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(ProgramToNativePath("\\\\other\\share\\x").has_value());
  EXPECT_EQ(GetLastError(), ERROR_BAD_NETPATH);
  EXPECT_FALSE(ProgramToNativePath("").has_value());
}

TEST_F(PathConversionTest, RelativePathsUseTheCurrentDirectories) {
  MakeFolder("a/b");
  ASSERT_TRUE(SetCurrentDirectoryA(Program("a")));
  EXPECT_EQ(ProgramToNativePath("b\\x.jpg").value(), Native("a/b/x.jpg"));
  EXPECT_EQ(ProgramToNativePath("..\\x.jpg").value(), Native("x.jpg"));
  EXPECT_EQ(ProgramToNativePath("\\etc").value(), "/etc");       // the current drive's root
  EXPECT_EQ(ProgramToNativePath("C:b").value(), Native("a/b"));  // drive C's current directory
}

TEST_F(PathConversionTest, UserTextInUnixFormBecomesProgramForm) {
  EXPECT_EQ(ConvertUserPath("/home/ann/x.jpg"), "C:\\home\\ann\\x.jpg");
  EXPECT_EQ(ConvertUserPath("/media/ann/USB STICK/x.jpg"), "D:\\x.jpg");
  EXPECT_EQ(ConvertUserPath("C:\\pics"), "C:\\pics");
  EXPECT_EQ(ConvertUserPath("pics/x.jpg"), "pics/x.jpg");
  EXPECT_EQ(ConvertUserPath(""), "");
}

class CurrentDirectoryTest : public TempFolderTest {
 protected:
  // D: is a share mounted at <temp>/share; E: a disc whose mount point has vanished.
  void SetUp() override {
    TempFolderTest::SetUp();
    MakeFolder("share/sub");
    MakeFolder("share/other");
    MakeFolder("local/deeper");
    InstallDriveTable(
        TDriveTable::FromMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                   "2 1 0:50 / " +
                                       Native("share") +
                                       " rw - nfs srv:/pics rw\n"
                                       "3 1 11:0 / " +
                                       Native("gone") + " ro - iso9660 /dev/sr0 ro\n",
                                   {}));
  }
};

TEST_F(CurrentDirectoryTest, ReportsProgramFormAndKeepsTheProcessInStep) {
  ASSERT_TRUE(SetCurrentDirectoryA(Program("local")));
  EXPECT_EQ(GetCurrentDirectoryA(), Program("local"));
  EXPECT_EQ(RealWorkingDirectory(), Native("local"));
  EXPECT_NE(GetCurrentDirectoryA().back(), '\\');

  ASSERT_TRUE(SetCurrentDirectoryA("deeper"));
  EXPECT_EQ(GetCurrentDirectoryA(), Program("local\\deeper"));
  ASSERT_TRUE(SetCurrentDirectoryA("..\\..\\local\\.\\deeper\\.."));
  EXPECT_EQ(GetCurrentDirectoryA(), Program("local"));

  ASSERT_TRUE(SetCurrentDirectoryA("d:/sub"));
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\sub");
  EXPECT_EQ(RealWorkingDirectory(), Native("share/sub"));
  ASSERT_TRUE(SetCurrentDirectoryA("\\"));
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\");  // a root keeps its separator
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\");  // nothing above a root
}

TEST_F(CurrentDirectoryTest, EachDriveRemembersItsLastDirectory) {
  ASSERT_TRUE(SetCurrentDirectoryA(Program("local\\deeper")));
  ASSERT_TRUE(SetCurrentDirectoryA("D:\\sub"));
  EXPECT_EQ(DriveCurrentDirectory('c'), Program("local\\deeper"));

  ASSERT_TRUE(SetCurrentDirectoryA("C:"));
  EXPECT_EQ(GetCurrentDirectoryA(), Program("local\\deeper"));
  EXPECT_EQ(RealWorkingDirectory(), Native("local/deeper"));

  ASSERT_TRUE(SetCurrentDirectoryA("d:"));
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\sub");

  ASSERT_TRUE(SetCurrentDirectoryA("D:..\\other"));  // relative to D's own directory
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\other");

  // A remembered directory that has gone leaves the drive at its root.
  ASSERT_TRUE(SetCurrentDirectoryA("C:"));
  std::filesystem::remove(Native("share/other"));
  ASSERT_TRUE(SetCurrentDirectoryA("D:"));
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\");
}

TEST_F(CurrentDirectoryTest, FailuresLeaveTheDirectoryAndSetTheLastError) {
  ASSERT_TRUE(SetCurrentDirectoryA(Program("local")));
  WriteFile("local/file.txt", "x");
  struct Case {
    std::string path;
    DWORD error;
  };
  const Case cases[] = {
      {"missing", ERROR_FILE_NOT_FOUND}, {"missing\\deeper", ERROR_PATH_NOT_FOUND},
      {"file.txt", ERROR_DIRECTORY},     {"file.txt\\x", ERROR_PATH_NOT_FOUND},
      {"Q:\\", ERROR_PATH_NOT_FOUND},    {"E:\\", ERROR_NOT_READY},
      {"E:", ERROR_NOT_READY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SetLastError(0);
    EXPECT_FALSE(SetCurrentDirectoryA(c.path));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(GetCurrentDirectoryA(), Program("local"));
    EXPECT_EQ(RealWorkingDirectory(), Native("local"));
  }
}

TEST_F(CurrentDirectoryTest, FollowsAWorkingDirectoryChangedBehindItsBack) {
  ASSERT_TRUE(SetCurrentDirectoryA(Program("local")));
  ASSERT_EQ(::chdir(Native("share/sub").c_str()), 0);
  EXPECT_EQ(GetCurrentDirectoryA(), "D:\\sub");
  EXPECT_EQ(DriveCurrentDirectory('D'), "D:\\sub");
}

}  // namespace
}  // namespace lumivane
