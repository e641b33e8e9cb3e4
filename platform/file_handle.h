#pragma once
// Runtime-style file handles over plain descriptors: open, create, read, write, seek, close.
// Handles are ints; -1 on failure with the last error set.

#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace lumivane {

// Modes: the low two bits choose reading (0), writing (1) or both (2); the sharing bits above them
// are accepted and ignored. The mode 0xFFFF creates (or truncates) the file like FileCreate.
constexpr int FileModeCreate = 0xFFFF;

// Opens an existing regular file; a directory, a FIFO, socket or device, or a read-only file for
// writing, gives ERROR_ACCESS_DENIED. Never blocks on opening.
int FileOpen(const std::string& path, int mode);
// Creates a file for reading and writing, truncating an existing one (refused as for FileOpen).
int FileCreate(const std::string& path);
// Reads up to `count` bytes (fewer only at the end of the file); the count read, or -1.
std::int64_t FileRead(int handle, void* buffer, std::int64_t count);
// Writes `count` bytes; the count written, or -1.
std::int64_t FileWrite(int handle, const void* buffer, std::int64_t count);
// Moves to `offset` from the start (0), the current position (1) or the end (2); the new
// position, or -1.
std::int64_t FileSeek(int handle, std::int64_t offset, int origin);
void FileClose(int handle);

}  // namespace lumivane
