#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/platform_error.h"
#include "platform/system_info.h"

namespace lumivane {
namespace {

TEST(PlatformErrorTest, InOutTextsByCode) {
  EXPECT_EQ(InOutErrorMessage(2), "File not found");
  EXPECT_EQ(InOutErrorMessage(3), "Invalid filename");
  EXPECT_EQ(InOutErrorMessage(4), "Too many open files");
  EXPECT_EQ(InOutErrorMessage(5), "File access denied");
  EXPECT_EQ(InOutErrorMessage(100), "Read beyond end of file");
  EXPECT_EQ(InOutErrorMessage(101), "Disk full");
  EXPECT_EQ(InOutErrorMessage(106), "Invalid numeric input");
  EXPECT_EQ(InOutErrorMessage(21), "I/O error 21");
  EXPECT_EQ(InOutErrorMessage(267), "I/O error 267");
}

TEST(PlatformErrorTest, SystemTextsAndErrnoMapping) {
  EXPECT_EQ(SysErrorMessage(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.");
  EXPECT_EQ(SysErrorMessage(ERROR_ACCESS_DENIED), "Access is denied.");
  EXPECT_NE(SysErrorMessage(ERROR_PATH_NOT_FOUND), SysErrorMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(SysErrorMessage(99999).find("99999"), std::string::npos);

  EXPECT_EQ(ErrnoToError(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrnoToError(ENOTDIR), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ErrnoToError(EACCES), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrnoToError(EMFILE), ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(ErrnoToError(EEXIST), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ErrnoToError(ENOSPC), ERROR_DISK_FULL);
  EXPECT_EQ(ErrnoToError(ENOMEDIUM), ERROR_NOT_READY);
  EXPECT_EQ(PathErrnoToError(ENOENT, "/"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PathErrnoToError(ENOENT, "/no-such-folder-here/x"), ERROR_PATH_NOT_FOUND);
}

TEST(PlatformErrorTest, LastErrorBelongsToEachThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 12345;
  std::thread([&] {
    seenByOther = GetLastError();
    SetLastError(ERROR_DISK_FULL);
  }).join();
  EXPECT_EQ(seenByOther, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(SystemInfoTest, TickCountsAdvanceMonotonically) {
  const ULONGLONG start = GetTickCount64();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const ULONGLONG end = GetTickCount64();
  EXPECT_GE(end - start, 25u);
  EXPECT_LT(end - start, 5000u);
  const DWORD ticks = GetTickCount();
  EXPECT_LE(static_cast<DWORD>(GetTickCount64()) - ticks, 100u);  // the low 32 bits of the same clock
}

TEST(SystemInfoTest, ExecutablePathInProgramForm) {
  const std::string path = ExecutablePath();
  ASSERT_GT(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\");
  EXPECT_NE(path.find("\\platform_tests"), std::string::npos);

  char buffer[4096];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), path.size());
  EXPECT_EQ(buffer, path);
  char small[6];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(small), path.substr(0, 5));
}

}  // namespace
}  // namespace lumivane
