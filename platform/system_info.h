#pragma once
// Tick counts and the running executable's path.

#include <string>

#include "platform/win_types.h"

namespace lumivane {

// Milliseconds on a monotonic clock; the 32-bit count wraps after about 49.7 days.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

// The running executable's full path in program form ("C:\opt\lumivane\lumivane").
std::string ExecutablePath();

// The system's buffer form of ExecutablePath (module must be null, the running program): copies
// the path, NUL-terminated, and returns its length; when the buffer is too small it holds the
// truncated path, the result is `size` and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HANDLE module, char* buffer, DWORD size);

}  // namespace lumivane
