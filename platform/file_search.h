#pragma once
// Directory search with wildcards and attributes: the system-style FindFirstFileA/FindNextFileA/
// FindClose over handles, and the runtime-style FindFirst/FindNext/FindClose over a TSearchRec.

#include <dirent.h>

#include <memory>
#include <string>

#include "platform/wildcard_pattern.h"
#include "platform/win_types.h"

namespace lumivane {

// One running search: a single pass over a directory, returning the entries whose names match.
// "." and ".." come first in every directory but a drive root.
class TFileSearch {
 public:
  // Starts a search for a pattern such as "C:\Pictures\*.jpg", "*.*" (current directory) or
  // "D:x?.gif" (drive D's current directory). nullptr with the last error set when the directory
  // cannot be read or the name pattern is empty.
  static std::unique_ptr<TFileSearch> Start(const std::string& pattern);
  ~TFileSearch();
  TFileSearch(const TFileSearch&) = delete;
  TFileSearch& operator=(const TFileSearch&) = delete;

  // The next matching entry; false with ERROR_NO_MORE_FILES at the end.
  bool Next(WIN32_FIND_DATAA& data);

 private:
  TFileSearch(std::string nativeDirectory, const std::string& namePattern, bool atDriveRoot);
  bool Open();
  bool NextFromDirectory(WIN32_FIND_DATAA& data);
  bool NextExact(WIN32_FIND_DATAA& data);
  bool Describe(const std::string& name, WIN32_FIND_DATAA& data) const;

  std::string nativeDirectory_;
  std::string namePattern_;
  TWildcardPattern pattern_;
  DIR* directory_ = nullptr;
  bool readOnlyVolume_ = false;
  int dotEntriesLeft_ = 0;   // "." then ".." before the directory's own entries
  bool exactTried_ = false;  // a name without wildcards is first looked up directly
  bool exactFound_ = false;
};

// Returns a search handle and the first match, or INVALID_HANDLE_VALUE with the last error set
// (ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND for a missing directory).
HANDLE FindFirstFileA(const std::string& pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);

// Runtime-style search: returns 0 or a platform error code. Entries that carry any of hidden,
// system, volume or directory that `attr` does not also carry are skipped; read-only and archive
// entries never are.
int FindFirst(const std::string& path, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

}  // namespace lumivane
