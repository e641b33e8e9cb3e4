#include "platform/file_search.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "platform/current_directory.h"
#include "platform/file_attributes.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

// Seconds between 1 January 1601 and 1 January 1970.
constexpr std::int64_t UnixEpochInFileTimeSeconds = 11644473600LL;

FILETIME ToFileTime(const struct timespec& time) {
  return static_cast<FILETIME>((time.tv_sec + UnixEpochInFileTimeSeconds) * 10000000LL + time.tv_nsec / 100);
}

// Splits "dir\pattern", "D:pattern" or "pattern" into the directory text and the name pattern.
void SplitPattern(const std::string& pattern, std::string& directory, std::string& name) {
  const auto separator = pattern.find_last_of("\\/");
  if (separator != std::string::npos) {
    directory = pattern.substr(0, separator + 1);
    name = pattern.substr(separator + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    directory = pattern.substr(0, 2);
    name = pattern.substr(2);
  } else {
    directory.clear();
    name = pattern;
  }
}

std::unordered_set<const TFileSearch*>& LiveSearches() {
  static std::unordered_set<const TFileSearch*> live;
  return live;
}

TFileSearch* LiveSearch(HANDLE handle) {
  auto* search = static_cast<TFileSearch*>(handle);
  return LiveSearches().count(search) ? search : nullptr;
}

void FillSearchRec(TSearchRec& rec) {
  const auto& data = rec.FindData;
  rec.Name = data.cFileName;
  rec.Attr = static_cast<int>(data.dwFileAttributes);
  rec.Size = static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
  rec.Time = static_cast<std::int64_t>(data.ftLastWriteTime / 10000000ULL) - UnixEpochInFileTimeSeconds;
}

// Skips entries carrying an excluded attribute; fills the record from the first one kept.
int FindMatchingEntry(TSearchRec& rec) {
  while ((rec.FindData.dwFileAttributes & static_cast<DWORD>(rec.ExcludeAttr)) != 0) {
    if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  }
  FillSearchRec(rec);
  return 0;
}

}  // namespace

TFileSearch::TFileSearch(std::string nativeDirectory, const std::string& namePattern, bool atDriveRoot)
    : nativeDirectory_(std::move(nativeDirectory)), namePattern_(namePattern), pattern_(namePattern) {
  readOnlyVolume_ = IsOnReadOnlyVolume(nativeDirectory_);
  exactTried_ = pattern_.HasWildcards();
  dotEntriesLeft_ = (atDriveRoot || !pattern_.HasWildcards()) ? 0 : 2;
}

TFileSearch::~TFileSearch() {
  if (directory_) ::closedir(directory_);
}

std::unique_ptr<TFileSearch> TFileSearch::Start(const std::string& pattern) {
  std::string directoryText, name;
  SplitPattern(pattern, directoryText, name);
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const auto directory = ResolveProgramPath(directoryText.empty() ? GetCurrentDirectoryA() : directoryText);
  if (!directory) return nullptr;

  std::unique_ptr<TFileSearch> search(new TFileSearch(directory->ToNativeForm(), name, directory->IsRoot()));
  if (search->pattern_.HasWildcards() && !search->Open()) return nullptr;
  return search;
}

bool TFileSearch::Open() {
  directory_ = ::opendir(nativeDirectory_.c_str());
  if (!directory_) {
    SetLastError(DirectoryErrnoToError(errno));
    return false;
  }
  return true;
}

bool TFileSearch::Describe(const std::string& name, WIN32_FIND_DATAA& data) const {
  struct stat status {};
  const int dirFd = directory_ ? ::dirfd(directory_) : AT_FDCWD;
  const std::string path = directory_ ? name : nativeDirectory_ + "/" + name;
  if (::fstatat(dirFd, path.c_str(), &status, 0) != 0 &&
      ::fstatat(dirFd, path.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return false;  // vanished since it was listed

  data = WIN32_FIND_DATAA{};
  data.dwFileAttributes = AttributesOf(name, status, readOnlyVolume_);
  const std::uint64_t size = S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
  data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data.nFileSizeLow = static_cast<DWORD>(size);
  data.ftLastWriteTime = ToFileTime(status.st_mtim);
  data.ftLastAccessTime = ToFileTime(status.st_atim);
  data.ftCreationTime = ToFileTime(status.st_ctim);
  const size_t length = std::min(name.size(), static_cast<size_t>(MAX_PATH - 1));
  std::memcpy(data.cFileName, name.data(), length);
  data.cFileName[length] = '\0';
  return true;
}

bool TFileSearch::NextExact(WIN32_FIND_DATAA& data) {
  exactTried_ = true;
  exactFound_ = Describe(namePattern_, data);
  return exactFound_;
}

bool TFileSearch::NextFromDirectory(WIN32_FIND_DATAA& data) {
  if (!directory_ && !Open()) return false;
  errno = 0;
  while (const dirent* entry = ::readdir(directory_)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (pattern_.Matches(name) && Describe(name, data)) return true;
    errno = 0;
  }
  SetLastError(errno != 0 ? ErrnoToError(errno) : ERROR_NO_MORE_FILES);
  return false;
}

bool TFileSearch::Next(WIN32_FIND_DATAA& data) {
  while (dotEntriesLeft_ > 0) {
    const char* name = dotEntriesLeft_-- == 2 ? "." : "..";
    if (pattern_.Matches(name) && Describe(name, data)) return true;
  }
  if (!exactTried_ && NextExact(data)) return true;
  if (exactFound_) return FailWith(ERROR_NO_MORE_FILES);
  return NextFromDirectory(data);
}

HANDLE FindFirstFileA(const std::string& pattern, WIN32_FIND_DATAA* data) {
  auto search = TFileSearch::Start(pattern);
  if (!search) return INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA first;
  if (!search->Next(first)) {
    if (GetLastError() == ERROR_NO_MORE_FILES) SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (data) *data = first;
  TFileSearch* handle = search.release();
  LiveSearches().insert(handle);
  return handle;
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  TFileSearch* live = LiveSearch(search);
  if (!live) return FailWith(ERROR_INVALID_HANDLE);
  WIN32_FIND_DATAA next;
  if (!live->Next(next)) return FALSE;
  if (data) *data = next;
  return TRUE;
}

BOOL FindClose(HANDLE search) {
  TFileSearch* live = LiveSearch(search);
  if (!live) return FailWith(ERROR_INVALID_HANDLE);
  LiveSearches().erase(live);
  delete live;
  return TRUE;
}

int FindFirst(const std::string& path, int attr, TSearchRec& rec) {
  constexpr int skippable = faHidden | faSysFile | faVolumeID | faDirectory;
  rec.ExcludeAttr = ~attr & skippable;
  rec.FindHandle = FindFirstFileA(path, &rec.FindData);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  const int result = FindMatchingEntry(rec);
  if (result != 0) FindClose(rec);
  return result;
}

int FindNext(TSearchRec& rec) {
  if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  return FindMatchingEntry(rec);
}

void FindClose(TSearchRec& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) FindClose(rec.FindHandle);
  rec.FindHandle = INVALID_HANDLE_VALUE;
}

}  // namespace lumivane
