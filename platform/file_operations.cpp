#include "platform/file_operations.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/file_identity.h"
#include "platform/file_search.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"
#include "platform/replacement_file.h"
#include "platform/wildcard_pattern.h"

namespace lumivane {

namespace {

std::optional<std::string> NativeOf(const std::string& path) { return ProgramToNativePath(path); }

bool IsReadOnly(const std::string& native, const struct stat& status) {
  return IsReadOnlyForUser(status) || IsOnReadOnlyVolume(native);
}

// Closes a descriptor on every path out of a scope.
class TFdCloser {
 public:
  explicit TFdCloser(int fd) : fd_(fd) {}
  ~TFdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFdCloser(const TFdCloser&) = delete;
  TFdCloser& operator=(const TFdCloser&) = delete;
  // Closes now; false (errno set) when the close reports a delayed write error.
  bool CloseNow() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Copies every byte from `in` to `out`; false with errno set on failure.
bool CopyContents(int in, int out) {
  for (;;) {  // the kernel copies without a round trip through user memory where it can
    const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (copied == 0) return true;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(got))) return false;
  }
}

// Gives the copy the source's permission bits and modification time. Volumes that keep neither
// (such as FAT media) make these calls fail; the copy stands all the same.
void CopyMetadata(int out, const struct stat& source) {
  (void)::fchmod(out, source.st_mode & 0777);
  const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
  (void)::futimens(out, times);
}

// Opens a regular file for reading without ever blocking: a FIFO, socket or device in its place is
// refused before it is opened, and again after (the entry may have changed in between), as is a
// folder. The descriptor and the file's status, or -1 with the last error set.
int OpenSourceFile(const std::string& native, struct stat& status) {
  if (::stat(native.c_str(), &status) == 0 && !IsRegularStatus(status)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  const int in = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) {
    SetLastError(PathErrnoToError(errno, native));
    return -1;
  }
  if (::fstat(in, &status) != 0 || !IsRegularStatus(status)) {
    ::close(in);
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  return in;
}

// Writes a copy of the open source `in` under a temporary name beside `target` and puts it in place
// (over an existing target when `replace`). False with the last error set; the target and the
// source are then as they were.
BOOL WriteCopy(int in, const struct stat& source, const std::string& target, bool replace) {
  TReplacementFile replacement(target);
  if (!replacement.Create()) return FailWithPathErrno(errno, target);
  if (!CopyContents(in, replacement.Handle())) return FailWithErrno(errno);
  CopyMetadata(replacement.Handle(), source);
  if (!replacement.Commit(replace))
    return errno == EEXIST ? FailWith(ERROR_FILE_EXISTS) : FailWithErrno(errno);
  return TRUE;
}

// The folder holding `native` lets the process remove entries from it.
bool MayRemoveFrom(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Moves a file to another volume: the copy is complete and flushed under the target's name before
// the source is removed. When the source cannot be removed, a new target is taken away again; a
// replaced target cannot come back, and the source stays beside the complete copy.
BOOL MoveAcrossVolumes(const std::string& source, const struct stat& sourceStatus, const std::string& target,
                       bool replace) {
  if (S_ISDIR(sourceStatus.st_mode)) return FailWith(ERROR_NOT_SAME_DEVICE);
  struct stat status {};
  const int in = OpenSourceFile(source, status);
  if (in < 0) return FALSE;
  TFdCloser closer(in);
  if (!MayRemoveFrom(source)) return FailWith(ERROR_ACCESS_DENIED);
  if (!WriteCopy(in, status, target, replace)) return FALSE;
  if (::unlink(source.c_str()) != 0) {
    const int err = errno;
    if (!replace) ::unlink(target.c_str());
    return FailWithErrno(err);
  }
  return TRUE;
}

int RenameNoReplace(const std::string& source, const std::string& target) {
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  return ::rename(source.c_str(), target.c_str());  // the volume cannot refuse to replace
}

}  // namespace

DWORD GetFileAttributesA(const std::string& path) {
  const auto resolved = ResolveProgramPath(path);
  if (!resolved) return INVALID_FILE_ATTRIBUTES;
  const std::string native = resolved->ToNativeForm();
  struct stat status {};
  if (!StatusOf(native, status)) {
    SetLastError(PathErrnoToError(errno, native));
    return INVALID_FILE_ATTRIBUTES;
  }
  const std::string name = resolved->IsRoot() ? std::string() : resolved->Components.back();
  return AttributesOf(name, status, IsOnReadOnlyVolume(native));
}

bool FileExists(const std::string& path) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL CopyFileA(const std::string& existingName, const std::string& newName, BOOL failIfExists) {
  const auto source = NativeOf(existingName);
  const auto target = NativeOf(newName);
  if (!source || !target) return FALSE;

  struct stat sourceStatus {};
  const int in = OpenSourceFile(*source, sourceStatus);
  if (in < 0) return FALSE;
  TFdCloser closer(in);

  std::string destination = *target;
  struct stat entry {};
  if (::lstat(target->c_str(), &entry) == 0) {
    struct stat targetStatus {};
    const bool resolves = ::stat(target->c_str(), &targetStatus) == 0;
    if (resolves && IsSameFileStatus(sourceStatus, targetStatus)) return FailWith(ERROR_SHARING_VIOLATION);
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (resolves) {
      if (!IsRegularStatus(targetStatus) || IsReadOnly(*target, targetStatus))
        return FailWith(ERROR_ACCESS_DENIED);
      // Through a symbolic link the file it names gets the new content; the link stays.
      if (S_ISLNK(entry.st_mode)) {
        char* resolved = ::realpath(target->c_str(), nullptr);
        if (resolved == nullptr) return FailWithErrno(errno);
        destination = resolved;
        ::free(resolved);
      }
    }
  }
  return WriteCopy(in, sourceStatus, destination, !failIfExists);
}

BOOL MoveFileA(const std::string& existingName, const std::string& newName) {
  return MoveFileExA(existingName, newName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExA(const std::string& existingName, const std::string& newName, DWORD flags) {
  const auto source = NativeOf(existingName);
  const auto target = NativeOf(newName);
  if (!source || !target) return FALSE;

  struct stat sourceStatus {};
  if (::lstat(source->c_str(), &sourceStatus) != 0) return FailWithPathErrno(errno, *source);
  struct stat targetStatus {};
  bool replaceSelf = false;
  bool replace = false;
  if (::lstat(target->c_str(), &targetStatus) == 0) {
    // The same entry under another letter case (a volume that ignores case) is renamed, not replaced.
    replaceSelf = *source != *target && IsSameFileStatus(sourceStatus, targetStatus) &&
                  TWildcardPattern::Fold(*source) == TWildcardPattern::Fold(*target);
    if (!replaceSelf) {
      if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return FailWith(ERROR_ALREADY_EXISTS);
      // Moving a file onto itself (a hard link, a linked or bound folder) would lose it.
      if (IsSameNativeFile(*source, *target)) return FailWith(ERROR_SHARING_VIOLATION);
      struct stat followed {};
      if (::stat(target->c_str(), &followed) == 0 &&
          (!IsRegularStatus(followed) || IsReadOnly(*target, followed)))
        return FailWith(ERROR_ACCESS_DENIED);
      if (S_ISDIR(sourceStatus.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
      replace = true;
    }
  }
  // A rename puts the source over a replaced target in one step.
  const int result =
      replaceSelf || replace ? ::rename(source->c_str(), target->c_str()) : RenameNoReplace(*source, *target);
  if (result == 0) return TRUE;
  if (errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) != 0)
    return MoveAcrossVolumes(*source, sourceStatus, *target, replace);
  if (errno == EXDEV) return FailWith(ERROR_NOT_SAME_DEVICE);
  if (errno == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
  return FailWithPathErrno(errno, *target);
}

BOOL DeleteFileA(const std::string& path) {
  const auto native = NativeOf(path);
  if (!native) return FALSE;
  struct stat status {};
  if (::lstat(native->c_str(), &status) != 0) return FailWithPathErrno(errno, *native);
  if (S_ISDIR(status.st_mode) || IsReadOnly(*native, status)) return FailWith(ERROR_ACCESS_DENIED);
  if (::unlink(native->c_str()) != 0) return FailWithErrno(errno);
  return TRUE;
}

BOOL CreateDirectoryA(const std::string& path, void*) {
  const auto native = NativeOf(path);
  if (!native) return FALSE;
  if (::mkdir(native->c_str(), 0777) != 0) return FailWithPathErrno(errno, *native);
  return TRUE;
}

BOOL RemoveDirectoryA(const std::string& path) {
  const auto native = NativeOf(path);
  if (!native) return FALSE;
  if (::rmdir(native->c_str()) == 0) return TRUE;
  if (errno == ENOTEMPTY || errno == EEXIST) return FailWith(ERROR_DIR_NOT_EMPTY);
  if (errno == ENOTDIR) {
    struct stat status {};
    if (::stat(native->c_str(), &status) == 0) return FailWith(ERROR_DIRECTORY);
  }
  return FailWithPathErrno(errno, *native);
}

}  // namespace lumivane
