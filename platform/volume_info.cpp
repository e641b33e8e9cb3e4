#include "platform/volume_info.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "platform/drive_table.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

UINT errorMode = 0;

// The drive named by "x:", "x:\" or "x:/"; nullptr for any other text or a letter without a drive.
const TDriveInfo* DriveOfRoot(const std::string& rootPath) {
  const bool wellFormed =
      (rootPath.size() == 2 || (rootPath.size() == 3 && (rootPath[2] == '\\' || rootPath[2] == '/'))) &&
      rootPath[1] == ':' && std::isalpha(static_cast<unsigned char>(rootPath[0]));
  return wellFormed ? ActiveDriveTable().Find(rootPath[0]) : nullptr;
}

bool CopyToBuffer(const std::string& text, char* buffer, DWORD size) {
  if (!buffer) return true;
  if (text.size() + 1 > size) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

DWORD GetLogicalDrives() { return ActiveDriveTable().LogicalDriveMask(); }

UINT GetDriveTypeA(const std::string& rootPath) {
  const TDriveInfo* drive = DriveOfRoot(rootPath);
  return drive ? drive->Type : DRIVE_NO_ROOT_DIR;
}

BOOL GetVolumeInformationA(const std::string& rootPath, std::string* volumeName, DWORD* fileSystemFlags,
                           std::string* fileSystemName) {
  const TDriveInfo* drive = DriveOfRoot(rootPath);
  if (!drive) return FailWith(ERROR_PATH_NOT_FOUND);
  struct stat status {};
  if (::stat(drive->MountPoint.c_str(), &status) != 0) return FailWith(ERROR_NOT_READY);
  if (volumeName) *volumeName = drive->Label;
  if (fileSystemFlags) *fileSystemFlags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES;
  if (fileSystemName) *fileSystemName = drive->FsType;
  return TRUE;
}

BOOL GetVolumeInformationA(const char* rootPath, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                           char* fileSystemNameBuffer, DWORD fileSystemNameSize) {
  std::string label, fsName;
  if (!GetVolumeInformationA(std::string(rootPath ? rootPath : ""), &label, fileSystemFlags, &fsName))
    return FALSE;
  if (volumeSerialNumber) {
    const TDriveInfo* drive = DriveOfRoot(rootPath);
    struct stat status {};
    *volumeSerialNumber =
        ::stat(drive->MountPoint.c_str(), &status) == 0 ? static_cast<DWORD>(status.st_dev) : 0;
  }
  if (maximumComponentLength) *maximumComponentLength = 255;
  if (!CopyToBuffer(label, volumeNameBuffer, volumeNameSize) ||
      !CopyToBuffer(fsName, fileSystemNameBuffer, fileSystemNameSize))
    return FailWith(ERROR_INSUFFICIENT_BUFFER);
  return TRUE;
}

BOOL WNetGetConnectionA(const std::string& localName, std::string& remoteName) {
  const TDriveInfo* drive = DriveOfRoot(localName);
  if (!drive || drive->Type != DRIVE_REMOTE) return FailWith(ERROR_NOT_CONNECTED);
  const std::string name = TDriveTable::NetworkNameOfSource(drive->Source);
  if (name.empty()) return FailWith(ERROR_NOT_CONNECTED);
  remoteName = name;
  return TRUE;
}

UINT SetErrorMode(UINT mode) {
  const UINT previous = errorMode;
  errorMode = mode;
  return previous;
}

}  // namespace lumivane
