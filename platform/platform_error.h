#pragma once
// Platform error codes with their Windows numbers, the thread-local last error, the mapping from
// errno values, and the texts shown for codes.

#include <string>

#include "platform/win_types.h"

namespace lumivane {

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_SEEK = 25;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;
constexpr DWORD ERROR_NOT_CONNECTED = 2250;

// The calling thread's last error.
DWORD GetLastError();
void SetLastError(DWORD code);

// The platform code for an errno value, without looking at any path (ENOENT gives
// ERROR_FILE_NOT_FOUND).
DWORD ErrnoToError(int err);

// The platform code for an errno value raised while working on the native path `nativePath`:
// a missing final component gives ERROR_FILE_NOT_FOUND, a missing directory on the way
// ERROR_PATH_NOT_FOUND.
DWORD PathErrnoToError(int err, const std::string& nativePath);

// The platform code for an errno value raised while opening a directory to read its entries: a
// missing directory, or something else in its place, gives ERROR_PATH_NOT_FOUND.
DWORD DirectoryErrnoToError(int err);

// Sets the last error from errno values (plain or path-aware) and returns FALSE, for the
// many calls that fail that way.
BOOL FailWithErrno(int err);
BOOL FailWithPathErrno(int err, const std::string& nativePath);
BOOL FailWith(DWORD code);

// A human-readable text for a platform error code.
std::string SysErrorMessage(DWORD code);

// The runtime's input/output error texts: "File not found", "Invalid filename", ..., and
// "I/O error %d" for any code without a text of its own.
std::string InOutErrorMessage(int code);

}  // namespace lumivane
