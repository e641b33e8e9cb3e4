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

// Copies a regular file, overwriting an existing target unless `failIfExists` (then
// ERROR_FILE_EXISTS). The copy is written under a temporary name in the target's folder, flushed,
// and renamed over the target in one step, so a failure at any point leaves the old target as it
// was and no temporary file behind. The copy gets the source's modification time and permission
// bits. A file is never copied onto itself, however the paths name it (ERROR_SHARING_VIOLATION);
// a read-only target, and a source or target that is not a regular file, are refused
// (ERROR_ACCESS_DENIED). Nothing but a regular file is ever opened.
BOOL CopyFileA(const std::string& existingName, const std::string& newName, BOOL failIfExists);

// Flags of MoveFileExA.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;

// Moves or renames a file or directory. Fails with ERROR_ALREADY_EXISTS when the new name names
// another entry (a change of letter case of the same entry is allowed). Across volumes a regular
// file is copied and the source removed once the copy is complete and flushed; on any failure the
// source stays and no target appears. Directories do not move across volumes
// (ERROR_NOT_SAME_DEVICE).
BOOL MoveFileA(const std::string& existingName, const std::string& newName);

// As MoveFileA with flags: MOVEFILE_COPY_ALLOWED lets a file move to another volume (without it,
// ERROR_NOT_SAME_DEVICE); MOVEFILE_REPLACE_EXISTING lets it replace an existing regular file, in
// one step: the old target exists unchanged until the new one takes its name. A target that is
// the source itself (a hard link, through a linked or bound folder) is refused
// (ERROR_SHARING_VIOLATION), as are a read-only target and one that is not a regular file
// (ERROR_ACCESS_DENIED). Across volumes the copy is complete and flushed before the source is
// removed; a source whose folder forbids removing it is refused before anything is written.
BOOL MoveFileExA(const std::string& existingName, const std::string& newName, DWORD flags);

// Deletes a file; a read-only file (ERROR_ACCESS_DENIED) or a directory (ERROR_ACCESS_DENIED)
// is refused.
BOOL DeleteFileA(const std::string& path);

BOOL CreateDirectoryA(const std::string& path, void* securityAttributes = nullptr);
BOOL RemoveDirectoryA(const std::string& path);

}  // namespace lumivane
