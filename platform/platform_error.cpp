#include "platform/platform_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace lumivane {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

std::string ParentOf(const std::string& nativePath) {
  std::string path = nativePath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsDirectory(const std::string& nativePath) {
  struct stat st {};
  return ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

DWORD ErrnoToError(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return ERROR_NOT_READY;
    case ESPIPE:
      return ERROR_SEEK;
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EAGAIN:
      return ERROR_SHARING_VIOLATION;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case ENOTCONN:
    case ESTALE:
    case EHOSTDOWN:
    case EHOSTUNREACH:
      return ERROR_BAD_NETPATH;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
      return ERROR_BUSY;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EFBIG:
      return ERROR_FILE_TOO_LARGE;
    case ELOOP:
      return ERROR_CANT_RESOLVE_FILENAME;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD PathErrnoToError(int err, const std::string& nativePath) {
  if (err == ENOENT && !IsDirectory(ParentOf(nativePath))) return ERROR_PATH_NOT_FOUND;
  return ErrnoToError(err);
}

DWORD DirectoryErrnoToError(int err) {
  if (err == ENOENT || err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return ErrnoToError(err);
}

BOOL FailWithErrno(int err) { return FailWith(ErrnoToError(err)); }

BOOL FailWithPathErrno(int err, const std::string& nativePath) {
  return FailWith(PathErrnoToError(err, nativePath));
}

BOOL FailWith(DWORD code) {
  SetLastError(code);
  return FALSE;
}

std::string SysErrorMessage(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return "The operation completed successfully.";
    case ERROR_INVALID_FUNCTION:
      return "Incorrect function.";
    case ERROR_FILE_NOT_FOUND:
      return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND:
      return "The system cannot find the path specified.";
    case ERROR_TOO_MANY_OPEN_FILES:
      return "The system cannot open the file.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_INVALID_HANDLE:
      return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
      return "Not enough memory resources are available to process this command.";
    case ERROR_INVALID_DRIVE:
      return "The system cannot find the drive specified.";
    case ERROR_NOT_SAME_DEVICE:
      return "The system cannot move the file to a different disk drive.";
    case ERROR_NO_MORE_FILES:
      return "There are no more files.";
    case ERROR_WRITE_PROTECT:
      return "The media is write protected.";
    case ERROR_NOT_READY:
      return "The device is not ready.";
    case ERROR_SEEK:
      return "The drive cannot locate a specific area or track on the disk.";
    case ERROR_GEN_FAILURE:
      return "A device attached to the system is not functioning.";
    case ERROR_SHARING_VIOLATION:
      return "The process cannot access the file because it is being used by another process.";
    case ERROR_HANDLE_EOF:
      return "Reached the end of the file.";
    case ERROR_NOT_SUPPORTED:
      return "The request is not supported.";
    case ERROR_BAD_NETPATH:
      return "The network path was not found.";
    case ERROR_FILE_EXISTS:
      return "The file exists.";
    case ERROR_INVALID_PARAMETER:
      return "The parameter is incorrect.";
    case ERROR_DISK_FULL:
      return "There is not enough space on the disk.";
    case ERROR_INSUFFICIENT_BUFFER:
      return "The data area passed to a system call is too small.";
    case ERROR_INVALID_NAME:
      return "The filename, directory name, or volume label syntax is incorrect.";
    case ERROR_NEGATIVE_SEEK:
      return "An attempt was made to move the file pointer before the beginning of the file.";
    case ERROR_DIR_NOT_EMPTY:
      return "The directory is not empty.";
    case ERROR_BUSY:
      return "The requested resource is in use.";
    case ERROR_ALREADY_EXISTS:
      return "Cannot create a file when that file already exists.";
    case ERROR_FILENAME_EXCED_RANGE:
      return "The filename or extension is too long.";
    case ERROR_FILE_TOO_LARGE:
      return "The file size exceeds the limit allowed and cannot be saved.";
    case ERROR_MORE_DATA:
      return "More data is available.";
    case ERROR_DIRECTORY:
      return "The directory name is invalid.";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "The name of the file cannot be resolved by the system.";
    case ERROR_NOT_CONNECTED:
      return "This network connection does not exist.";
    default:
      return "System error " + std::to_string(code) + ".";
  }
}

std::string InOutErrorMessage(int code) {
  switch (code) {
    case 2:
      return "File not found";
    case 3:
      return "Invalid filename";
    case 4:
      return "Too many open files";
    case 5:
      return "File access denied";
    case 100:
      return "Read beyond end of file";
    case 101:
      return "Disk full";
    case 106:
      return "Invalid numeric input";
    default:
      return "I/O error " + std::to_string(code);
  }
}

}  // namespace lumivane
