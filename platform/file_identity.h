#pragma once
// What a path names, found without opening it: whether two paths name one file, and whether a path
// names a regular file. Opening a FIFO, socket or device can block or never end, so these ask the
// file system for the entry's status only.

#include <sys/stat.h>

#include <string>

namespace lumivane {

// Two statuses describe the same file: the same device and inode.
inline bool IsSameFileStatus(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Two native paths name the same file: both exist and, after symbolic links are followed, have the
// same device and inode. Hard links, symbolic links to files or folders, bind mounts and differing
// spellings of one path all count as the same file.
bool IsSameNativeFile(const std::string& first, const std::string& second);
// The same for program paths; false when either does not resolve.
bool IsSameFile(const std::string& first, const std::string& second);

// A status describes a regular file: not a folder, FIFO, socket or device node.
inline bool IsRegularStatus(const struct stat& status) { return S_ISREG(status.st_mode); }
// A program path names an existing regular file, symbolic links followed.
bool IsRegularFile(const std::string& path);

}  // namespace lumivane
