#pragma once
// Conversions between program paths (drive letter, '\' separators: C:\home\ann\x.jpg) and native
// paths (/home/ann/x.jpg). Program paths given as input may use '\' or '/' as separators, may be
// relative to the current directory, relative to the current drive's root ("\x"), relative to a
// drive's own current directory ("D:x"), or name a network share (\\server\share\x).

#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace lumivane {

// A fully resolved program path: a drive and the components below its root.
struct TProgramPath {
  char Drive = 'C';
  std::vector<std::string> Components;

  bool IsRoot() const { return Components.empty(); }
  // "C:\" for a root, "C:\a\b" otherwise.
  std::string ToProgramForm() const;
  // The native path, through the drive's mount point.
  std::string ToNativeForm() const;
};

// Resolves a program path against the current directories. Fails (with the last error set) for an
// empty text, a drive letter that has no drive (ERROR_PATH_NOT_FOUND) or an unknown network share
// (ERROR_BAD_NETPATH).
std::optional<TProgramPath> ResolveProgramPath(const std::string& programPath);

// The native path of a program path; std::nullopt (last error set) as for ResolveProgramPath.
std::optional<std::string> ProgramToNativePath(const std::string& programPath);

// The program path of a native path: "/home/ann/x.jpg" -> "C:\home\ann\x.jpg"; a path under a
// drive's mount point gets that drive's letter. Relative native paths are taken from the process's
// real working directory; "." and ".." are resolved.
std::string NativeToProgramPath(const std::string& nativePath);

// Text given on the command line or typed into a dialog: Unix form (beginning with '/') becomes
// program form; anything else is returned unchanged.
std::string ConvertUserPath(const std::string& text);

// True for both separators a program path may use.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace lumivane
