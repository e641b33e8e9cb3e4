#include "platform/replacement_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace lumivane {

namespace {

std::string FolderOf(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

// Makes a rename in `folder` last across a crash. Volumes that cannot flush a folder refuse the
// call; the rename stands all the same.
void FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

TReplacementFile::TReplacementFile(std::string nativeTarget) : target_(std::move(nativeTarget)) {}

TReplacementFile::~TReplacementFile() { Discard(); }

bool TReplacementFile::Create() {
  std::string pattern = FolderOf(target_) + "/.lumivane-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  temporary_ = std::move(pattern);
  return true;
}

bool TReplacementFile::Commit(bool replace) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  bool ok = ::fsync(fd_) == 0;
  int err = ok ? 0 : errno;
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && ok) {  // a delayed write error shows here on some volumes
    ok = false;
    err = errno;
  }
  if (ok && !PutInPlace(replace)) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    Discard();
    errno = err;
    return false;
  }
  temporary_.clear();
  FlushFolder(FolderOf(target_));
  return true;
}

bool TReplacementFile::PutInPlace(bool replace) {
  if (replace) return ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The volume cannot rename without replacing: a hard link refuses an existing name just as well.
  if (::link(temporary_.c_str(), target_.c_str()) == 0) {
    ::unlink(temporary_.c_str());
    return true;
  }
  if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  // Nor can it link: look, then rename.
  struct stat existing {};
  if (::lstat(target_.c_str(), &existing) == 0) {
    errno = EEXIST;
    return false;
  }
  return ::rename(temporary_.c_str(), target_.c_str()) == 0;
}

void TReplacementFile::Discard() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace lumivane
