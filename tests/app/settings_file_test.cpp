#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "framework/sys_utils.h"
#include "platform/file_operations.h"
#include "platform/path_conversion.h"
#include "platform/system_info.h"

namespace lumivane {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lumivane-settings-XXXXXX";
    native_dir_ = mkdtemp(pattern);
    native_ = native_dir_ + "/Lumivane.dat";
    path_ = NativeToProgramPath(native_);
  }
  void TearDown() override {
    std::remove(native_.c_str());
    rmdir(native_dir_.c_str());
  }
  void Write(const std::string& bytes) { std::ofstream(native_, std::ios::binary) << bytes; }
  std::string Contents() {
    std::ifstream in(native_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Reads the file and returns (loaded, values applied in order).
  std::pair<bool, std::vector<int>> Read() {
    std::vector<int> applied;
    const bool loaded = ReadSettingsFile(path_, [&](int field, int value) {
      EXPECT_EQ(field, static_cast<int>(applied.size() % 5));
      applied.push_back(value);
    });
    return {loaded, applied};
  }

  std::string native_dir_, native_, path_;
};

TEST_F(SettingsFileTest, ReadsGroupsOfFiveLinesAcceptingBareLineFeeds) {
  Write("1\r\n2\n3\r\n4\r\n5\r\n-6\r\n7\r\n8\r\n9\r\n10\r\n");
  const auto [loaded, values] = Read();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5, -6, 7, 8, 9, 10}));
}

TEST_F(SettingsFileTest, FailuresStopReadingAndKeepWhatWasApplied) {
  Write("");  // zero lines: read, nothing applied
  EXPECT_EQ(Read(), (std::pair<bool, std::vector<int>>{true, {}}));
  Write("0\r\n0\r\n700\r\n900\r\n");  // four lines: the fifth read finds nothing to convert
  EXPECT_EQ(Read(), (std::pair<bool, std::vector<int>>{false, {0, 0, 700, 900}}));
  Write("0\r\nabc\r\n1\r\n2\r\n3\r\n");
  EXPECT_EQ(Read(), (std::pair<bool, std::vector<int>>{false, {0}}));
  Write(" 7\r\n8 \r\n1\r\n2\r\n3\r\n");  // leading blanks pass, trailing ones do not
  EXPECT_EQ(Read(), (std::pair<bool, std::vector<int>>{false, {7}}));
  std::remove(native_.c_str());
  EXPECT_FALSE(Read().first);  // missing file
}

TEST_F(SettingsFileTest, WritesFiveLinesWithCrLfReplacingTheFile) {
  Write("garbage that is longer than the new contents\r\n");
  WriteSettingsFile(path_, {0, -5000, 743, 1024, 157});
  EXPECT_EQ(Contents(), "0\r\n-5000\r\n743\r\n1024\r\n157\r\n");
}

TEST_F(SettingsFileTest, WritingIntoAMissingFolderFailsSilently) {
  WriteSettingsFile(NativeToProgramPath(native_dir_ + "/missing/Lumivane.dat"), {1, 2, 3, 4, 5});
  SUCCEED() << "no exception escapes";
  EXPECT_FALSE(std::ifstream(native_dir_ + "/missing/Lumivane.dat").good());
}

TEST_F(SettingsFileTest, BareCarriageReturnsEndLines) {
  Write("1\r2\r3\r4\r5\r");
  EXPECT_EQ(Read(), (std::pair<bool, std::vector<int>>{true, {1, 2, 3, 4, 5}}));
}

// The user's configuration folder follows $XDG_CONFIG_HOME and is made only for its own file.
TEST_F(SettingsFileTest, UserFolderFollowsTheConfigHomeAndIsMadeOnlyForItsOwnFile) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved != nullptr ? saved : "";
  const std::string configHome = native_dir_ + "/config";
  setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
  const std::string folder = UserSettingsFolder();
  EXPECT_EQ(folder, NativeToProgramPath(configHome + "/lumivane") + "\\");

  PrepareSettingsFolder(NativeToProgramPath(native_dir_ + "/elsewhere/Lumivane.dat"));
  EXPECT_FALSE(DirectoryExists(NativeToProgramPath(configHome)));
  PrepareSettingsFolder(folder + "Lumivane.dat");
  WriteSettingsFile(folder + "Lumivane.dat", {1, 2, 300, 400, 5});
  std::ifstream in(configHome + "/lumivane/Lumivane.dat", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "1\r\n2\r\n300\r\n400\r\n5\r\n");

  // The test program's own folder is writable, so its settings stay beside it.
  EXPECT_EQ(SettingsFilePath(), ExtractFilePath(ExecutablePath()) + "Lumivane.dat");
  std::remove((configHome + "/lumivane/Lumivane.dat").c_str());
  rmdir((configHome + "/lumivane").c_str());
  rmdir(configHome.c_str());
  if (saved != nullptr) {
    setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace lumivane
