#pragma once
// A test fixture working in a fresh temporary folder; restores the current directory and the
// system's drive table afterwards.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/current_directory.h"
#include "platform/drive_table.h"
#include "platform/path_conversion.h"

namespace lumivane {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDirectory_ = GetCurrentDirectoryA();
    char pattern[] = "/tmp/lumivane-platform-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
  }

  void TearDown() override {
    SetCurrentDirectoryA(savedDirectory_);
    UseSystemDriveTable();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Native and program paths of an entry below the temporary folder.
  std::string Native(const std::string& relative = "") const {
    return relative.empty() ? root_ : root_ + "/" + relative;
  }
  std::string Program(const std::string& relative = "") const {
    return NativeToProgramPath(Native(relative));
  }

  void WriteFile(const std::string& relative, const std::string& content, mode_t mode = 0644) const {
    std::ofstream(Native(relative), std::ios::binary) << content;
    ::chmod(Native(relative).c_str(), mode);
  }

  std::string ReadFile(const std::string& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
  }

  // The names in a folder below the temporary folder, sorted.
  std::vector<std::string> Entries(const std::string& relative = "") const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Native(relative)))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string root_;
  std::string savedDirectory_;
};

}  // namespace lumivane
