#pragma once
// The process-wide current directory in program form, with a remembered current directory per
// drive. The process's real working directory is kept in step with it.

#include <string>

#include "platform/win_types.h"

namespace lumivane {

// The current directory: "C:\" for a drive root, "C:\Pictures" (no trailing separator) otherwise.
std::string GetCurrentDirectoryA();

// Makes a directory current. "D:" alone enters drive D's remembered directory; "\x" is taken from
// the current drive's root; relative names from the current directory. On failure the last error
// is ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND (missing), ERROR_ACCESS_DENIED, ERROR_DIRECTORY
// (not a directory) or ERROR_NOT_READY (drive without a readable medium).
BOOL SetCurrentDirectoryA(const std::string& path);

// Drive `letter`'s remembered current directory in program form; its root when it has none.
std::string DriveCurrentDirectory(char letter);

}  // namespace lumivane
