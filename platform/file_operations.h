#pragma once
// Attribute queries, existence tests and the file operations: copy, move/rename, delete, and
// making and removing directories. Each returns success or failure and sets the last error; none
// throws.

#include <string>

#include "platform/win_types.h"

namespace lumivane {

// The attributes of a file or directory, or INVALID_FILE_ATTRIBUTES with the last error set.
DWORD GetFileAttributesA(const std::string& path);

// An exact search for `path` finds an entry that is not a directory.
bool FileExists(const std::string& path);
// The attribute query succeeds and carries the directory bit.
bool DirectoryExists(const std::string& path);

// Copies a file, overwriting an existing target unless `failIfExists` (then ERROR_FILE_EXISTS).
// The target is written in place and gets the source's modification time and permission bits.
// A file is never copied onto itself (ERROR_SHARING_VIOLATION); a read-only target is refused
// (ERROR_ACCESS_DENIED); a target left incomplete by a failure is removed.
BOOL CopyFileA(const std::string& existingName, const std::string& newName, BOOL failIfExists);

// Moves or renames a file or directory. Fails with ERROR_ALREADY_EXISTS when the new name names
// another entry (a change of letter case of the same entry is allowed). Across volumes a file is
// copied and the source then removed; on any failure the source stays and a partial target is
// removed. Directories do not move across volumes (ERROR_NOT_SAME_DEVICE).
BOOL MoveFileA(const std::string& existingName, const std::string& newName);

// Deletes a file; a read-only file (ERROR_ACCESS_DENIED) or a directory (ERROR_ACCESS_DENIED)
// is refused.
BOOL DeleteFileA(const std::string& path);

BOOL CreateDirectoryA(const std::string& path, void* securityAttributes = nullptr);
BOOL RemoveDirectoryA(const std::string& path);

}  // namespace lumivane
