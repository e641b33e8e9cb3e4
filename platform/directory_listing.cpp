#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/current_directory.h"
#include "platform/file_attributes.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"
#include "platform/wildcard_pattern.h"

namespace lumivane {

namespace {

// A directory changed within this time of its modification stamp may change again without the
// stamp moving (file systems stamp with a coarse clock), so such a listing is never reused.
constexpr std::int64_t kClockStepNs = 50'000'000;

std::int64_t Nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t WallClockNs() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

// The entry types that settle the attributes without a status call: not links, whose target
// decides, nor unknown types.
bool TypeSettlesAttributes(unsigned char type) {
  switch (type) {
    case DT_DIR:
    case DT_REG:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK:
    case DT_FIFO:
      return true;
    default:
      return false;
  }
}

struct TReuseState {
  int Depth = 0;
  std::shared_ptr<const TDirectoryListing> Last;
};

TReuseState& Reuse() {
  static TReuseState state;
  return state;
}

std::uint64_t g_readCount = 0;

}  // namespace

TDirectoryListing::TReuseScope::TReuseScope() { ++Reuse().Depth; }

TDirectoryListing::TReuseScope::~TReuseScope() {
  if (--Reuse().Depth == 0) Reuse().Last.reset();
}

std::uint64_t TDirectoryListing::ReadCount() { return g_readCount; }

bool TDirectoryListing::IdentityOf(const std::string& nativeDirectory, TIdentity& identity) {
  struct stat status {};
  if (::stat(nativeDirectory.c_str(), &status) != 0) return false;
  identity =
      TIdentity{status.st_dev, status.st_ino, Nanoseconds(status.st_mtim), Nanoseconds(status.st_ctim)};
  return true;
}

bool TDirectoryListing::Reusable(const std::string& nativeDirectory) const {
  if (nativeDirectory != nativeDirectory_) return false;
  // Adding, removing or renaming an entry stamps the modification time; a stamp too close to the
  // reading may hide a second change within the same clock step.
  if (identity_.ModifiedNs + kClockStepNs >= readAtNs_) return false;
  TIdentity now;
  return IdentityOf(nativeDirectory, now) && now == identity_;
}

std::shared_ptr<const TDirectoryListing> TDirectoryListing::Read(const std::string& programDirectory) {
  const auto directory =
      ResolveProgramPath(programDirectory.empty() ? GetCurrentDirectoryA() : programDirectory);
  if (!directory) return nullptr;
  const std::string native = directory->ToNativeForm();
  TReuseState& reuse = Reuse();
  if (reuse.Depth > 0 && reuse.Last && reuse.Last->Reusable(native)) return reuse.Last;
  auto listing = ReadAnew(native, directory->IsRoot());
  if (reuse.Depth > 0 && listing) reuse.Last = listing;
  return listing;
}

std::shared_ptr<const TDirectoryListing> TDirectoryListing::ReadAnew(const std::string& nativeDirectory,
                                                                     bool atDriveRoot) {
  auto listing = std::make_shared<TDirectoryListing>();
  listing->nativeDirectory_ = nativeDirectory;
  listing->atDriveRoot_ = atDriveRoot;
  listing->readAtNs_ = WallClockNs();
  DIR* directory = ::opendir(nativeDirectory.c_str());
  if (directory == nullptr) {
    SetLastError(DirectoryErrnoToError(errno));
    return nullptr;
  }
  ++g_readCount;
  const int fd = ::dirfd(directory);
  struct stat status {};
  if (::fstat(fd, &status) == 0) {
    listing->identity_ =
        TIdentity{status.st_dev, status.st_ino, Nanoseconds(status.st_mtim), Nanoseconds(status.st_ctim)};
  } else {
    listing->readAtNs_ = 0;  // never reused
  }
  struct statvfs volume {};
  listing->readOnlyVolume_ = ::fstatvfs(fd, &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;

  auto& entries = listing->entries_;
  if (!atDriveRoot) {
    entries.push_back(TEntry{".", U".", DT_DIR});
    entries.push_back(TEntry{"..", U"..", DT_DIR});
  }
  errno = 0;
  while (const dirent* entry = ::readdir(directory)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    entries.push_back(TEntry{name, TWildcardPattern::Fold(name), entry->d_type});
    errno = 0;
  }
  const int readError = errno;
  ::closedir(directory);
  if (readError != 0) {
    SetLastError(ErrnoToError(readError));
    return nullptr;
  }
  return listing;
}

DWORD TDirectoryListing::AttributesOf(const TEntry& entry, DWORD wanted) const {
  const bool readOnlyAsked = (wanted & FILE_ATTRIBUTE_READONLY) != 0;
  if ((!readOnlyAsked || readOnlyVolume_) && TypeSettlesAttributes(entry.Type)) {
    DWORD attributes = NameAndTypeAttributes(entry.Name, DTTOIF(entry.Type));
    if (readOnlyVolume_) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
  }
  struct stat status {};
  if (!StatusOf(nativeDirectory_ + "/" + entry.Name, status)) {
    return INVALID_FILE_ATTRIBUTES;  // vanished since it was listed
  }
  return lumivane::AttributesOf(entry.Name, status, readOnlyVolume_);
}

}  // namespace lumivane
