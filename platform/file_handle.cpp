#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_attributes.h"
#include "platform/file_identity.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

int Fail(DWORD code) {
  SetLastError(code);
  return -1;
}

// Only regular files are opened: a folder is refused, and so are FIFOs, sockets and devices, whose
// opening or reading can block for good. A read-only file is never opened for writing, not even by
// the superuser (whom the system itself would let write it).
bool IsRefused(const std::string& native, bool forWriting) {
  struct stat status {};
  if (::stat(native.c_str(), &status) != 0) return false;  // missing: open reports why
  if (!IsRegularStatus(status)) return true;
  return forWriting && (IsReadOnlyForUser(status) || IsOnReadOnlyVolume(native));
}

int OpenNative(const std::string& path, int flags, bool forWriting) {
  const auto native = ProgramToNativePath(path);
  if (!native) return -1;
  if (IsRefused(*native, forWriting)) return Fail(ERROR_ACCESS_DENIED);
  // The entry may have been replaced since it was looked at: the open must not wait on a FIFO, and
  // what was opened is looked at again.
  const int fd = ::open(native->c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return Fail(PathErrnoToError(errno, *native));
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !IsRegularStatus(status)) {
    ::close(fd);
    return Fail(ERROR_ACCESS_DENIED);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

int FileOpen(const std::string& path, int mode) {
  if (mode == FileModeCreate) return FileCreate(path);
  switch (mode & 3) {
    case 0:
      return OpenNative(path, O_RDONLY, false);
    case 1:
      return OpenNative(path, O_WRONLY, true);
    case 2:
      return OpenNative(path, O_RDWR, true);
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
}

int FileCreate(const std::string& path) { return OpenNative(path, O_RDWR | O_CREAT | O_TRUNC, true); }

std::int64_t FileRead(int handle, void* buffer, std::int64_t count) {
  if (count < 0) return Fail(ERROR_INVALID_PARAMETER);
  auto* bytes = static_cast<char*>(buffer);
  std::int64_t total = 0;
  while (total < count) {
    const ssize_t got = ::read(handle, bytes + total, static_cast<size_t>(count - total));
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrnoToError(errno));
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

std::int64_t FileWrite(int handle, const void* buffer, std::int64_t count) {
  if (count < 0) return Fail(ERROR_INVALID_PARAMETER);
  const auto* bytes = static_cast<const char*>(buffer);
  std::int64_t total = 0;
  while (total < count) {
    const ssize_t written = ::write(handle, bytes + total, static_cast<size_t>(count - total));
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail(ErrnoToError(errno));
    }
    total += written;
  }
  return total;
}

std::int64_t FileSeek(int handle, std::int64_t offset, int origin) {
  int whence = 0;
  switch (origin) {
    case 0:
      whence = SEEK_SET;
      break;
    case 1:
      whence = SEEK_CUR;
      break;
    case 2:
      whence = SEEK_END;
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  const off_t position = ::lseek(handle, static_cast<off_t>(offset), whence);
  if (position < 0) return Fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrnoToError(errno));
  return position;
}

void FileClose(int handle) {
  if (handle >= 0) ::close(handle);
}

}  // namespace lumivane
