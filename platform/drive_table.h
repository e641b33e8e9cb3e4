#pragma once
// The drive-letter namespace: which mounted volumes appear as drives, with their letters, types,
// labels and network names. C: is always the root of the file tree; further letters go, in mount
// order, to removable media, optical discs, network shares and RAM disks a user mounted.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace lumivane {

struct TDriveInfo {
  char Letter = 0;         // upper case, 'C' to 'Z'
  std::string MountPoint;  // native, no trailing '/' except for the root
  std::string FsType;
  std::string Source;  // mount source as listed (device, server:/path, //server/share)
  UINT Type = DRIVE_UNKNOWN;
  std::string Label;  // volume label, empty when the device has none
  bool ReadOnlyMount = false;
};

class TDriveTable {
 public:
  // Device path -> volume label.
  using TLabelMap = std::map<std::string, std::string>;

  // The table for the given mountinfo text (the format of /proc/self/mountinfo). `previous`
  // keeps letters stable: a volume still mounted at the same point keeps its old letter.
  static TDriveTable FromMountInfo(const std::string& mountInfo, const TLabelMap& labels,
                                   const TDriveTable* previous = nullptr);
  // The table of the running system.
  static TDriveTable FromSystem(const TDriveTable* previous = nullptr);
  // Labels from a by-label directory of device links ("\x20" escapes decoded), keyed by the
  // resolved device path.
  static TLabelMap ReadDiskLabels(const std::string& byLabelDirectory = "/dev/disk/by-label");

  // The network name of a mount source in \\server\share form; empty when it has none.
  static std::string NetworkNameOfSource(const std::string& source);

  const std::vector<TDriveInfo>& Drives() const { return drives_; }
  // The drive of a letter (either case), or nullptr.
  const TDriveInfo* Find(char letter) const;
  // The drive whose mount point holds the absolute native path most closely.
  const TDriveInfo& DriveOfNativePath(const std::string& nativePath) const;
  // Bit 0 = A:, bit 2 = C:, ...
  DWORD LogicalDriveMask() const;

 private:
  std::vector<TDriveInfo> drives_;
};

// The drive table the path services use. It is built from the system on first use and rebuilt
// when the system's mounts change, unless a table was installed.
const TDriveTable& ActiveDriveTable();
// Installs a fixed table (tests, or a caller that supplies its own view of the volumes).
void InstallDriveTable(TDriveTable table);
// Goes back to the system's table.
void UseSystemDriveTable();

}  // namespace lumivane
