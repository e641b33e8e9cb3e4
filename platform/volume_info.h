#pragma once
// Drives and volumes: which drives exist, their types, volume labels and flags, the network name
// of a remote drive, and the process's error mode.

#include <string>

#include "platform/win_types.h"

namespace lumivane {

// Bit 0 = A:, bit 1 = B:, bit 2 = C:, ...
DWORD GetLogicalDrives();

// The type of the drive named by a root such as "c:\" (either letter case; "c:" also serves);
// DRIVE_NO_ROOT_DIR for a letter without a drive or a text that names no drive root.
UINT GetDriveTypeA(const std::string& rootPath);

// The volume label (empty when the volume has none) and the file-system flags (case-sensitive
// search 0x1 | case-preserved names 0x2) of a drive root. Any output may be null. FALSE with
// ERROR_PATH_NOT_FOUND for a letter without a drive, ERROR_NOT_READY when its medium cannot be
// read.
BOOL GetVolumeInformationA(const std::string& rootPath, std::string* volumeName, DWORD* fileSystemFlags,
                           std::string* fileSystemName = nullptr);

// The same with the system's buffer form: the names are copied, NUL-terminated, into buffers of
// the given sizes (FALSE with ERROR_INSUFFICIENT_BUFFER when one does not fit). The serial
// number is derived from the volume's device number; components may be 255 bytes long.
BOOL GetVolumeInformationA(const char* rootPath, char* volumeNameBuffer, DWORD volumeNameSize,
                           DWORD* volumeSerialNumber, DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                           char* fileSystemNameBuffer, DWORD fileSystemNameSize);

// The network name (\\server\share) of a remote drive given as "D:". FALSE with
// ERROR_NOT_CONNECTED for any other drive.
BOOL WNetGetConnectionA(const std::string& localName, std::string& remoteName);

// Stores a new error mode and returns the previous one. Nothing on this system shows critical-
// error dialogs, so the mode changes no behaviour.
UINT SetErrorMode(UINT mode);

}  // namespace lumivane
