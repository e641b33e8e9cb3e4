#include "platform/drive_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>

namespace lumivane {

namespace {

struct TMountEntry {
  std::string MountPoint;
  std::string Options;
  std::string FsType;
  std::string Source;
};

// Mount points and sources in mountinfo escape blanks and backslashes as \ooo (octal).
std::string DecodeOctalEscapes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const bool escape = text[i] == '\\' && i + 3 < text.size();
    if (escape && text[i + 1] >= '0' && text[i + 1] <= '3' && text[i + 2] >= '0' && text[i + 2] <= '7' &&
        text[i + 3] >= '0' && text[i + 3] <= '7') {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Names in the by-label folder escape unsafe characters as \xNN.
std::string DecodeHexEscapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (in >> field) fields.push_back(field);
  return fields;
}

std::vector<TMountEntry> ParseMountInfo(const std::string& text) {
  std::vector<TMountEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto fields = SplitFields(line);
    const auto dash = std::find(fields.begin() + std::min<size_t>(6, fields.size()), fields.end(), "-");
    if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3) continue;
    TMountEntry entry;
    entry.MountPoint = DecodeOctalEscapes(fields[4]);
    entry.Options = fields[5];
    entry.FsType = *(dash + 1);
    entry.Source = DecodeOctalEscapes(*(dash + 2));
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool IsAtOrUnder(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

bool IsAtOrUnderAny(const std::string& path, std::initializer_list<const char*> folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const char* f) { return IsAtOrUnder(path, f); });
}

bool HasOption(const std::string& options, const std::string& option) {
  std::istringstream in(options);
  std::string item;
  while (std::getline(in, item, ','))
    if (item == option) return true;
  return false;
}

bool IsNetworkType(const std::string& fs) {
  static const std::set<std::string> types = {
      "nfs",        "nfs4",  "cifs",        "smb3",  "smbfs",       "smb",
      "fuse.sshfs", "sshfs", "9p",          "ceph",  "glusterfs",   "fuse.glusterfs",
      "afs",        "davfs", "fuse.davfs2", "ncpfs", "fuse.rclone", "fuse.s3fs"};
  return types.count(fs) != 0;
}

bool IsPseudoType(const std::string& fs) {
  static const std::set<std::string> types = {
      "proc",        "sysfs",     "devtmpfs", "devpts", "cgroup",   "cgroup2",    "autofs",
      "securityfs",  "debugfs",   "tracefs",  "pstore", "bpf",      "configfs",   "fusectl",
      "binfmt_misc", "hugetlbfs", "mqueue",   "nsfs",   "efivarfs", "rpc_pipefs", "selinuxfs"};
  return types.count(fs) != 0;
}

// The drive type a mount gets, or DRIVE_UNKNOWN for mounts that get no letter.
UINT ClassifyMount(const TMountEntry& m) {
  if (m.MountPoint == "/" || IsPseudoType(m.FsType)) return DRIVE_UNKNOWN;
  if (IsNetworkType(m.FsType)) return DRIVE_REMOTE;
  if (m.FsType == "iso9660" || m.FsType == "udf") return DRIVE_CDROM;
  if (m.FsType == "tmpfs" || m.FsType == "ramfs") {
    // The system's own RAM mounts, and read-only ones (masks), are no user RAM disks.
    const bool systemArea =
        IsAtOrUnderAny(m.MountPoint, {"/dev", "/run", "/sys", "/proc", "/tmp", "/var/run", "/var/lock"});
    return systemArea || HasOption(m.Options, "ro") ? DRIVE_UNKNOWN : DRIVE_RAMDISK;
  }
  if (IsAtOrUnderAny(m.MountPoint, {"/media", "/run/media", "/mnt"})) return DRIVE_REMOVABLE;
  return DRIVE_UNKNOWN;
}

std::string LabelOf(const TDriveTable::TLabelMap& labels, const std::string& source) {
  const auto it = labels.find(source);
  return it == labels.end() ? std::string() : it->second;
}

TDriveInfo MakeDrive(const TMountEntry& m, UINT type, const TDriveTable::TLabelMap& labels) {
  TDriveInfo drive;
  drive.MountPoint = m.MountPoint;
  drive.FsType = m.FsType;
  drive.Source = m.Source;
  drive.Type = type;
  drive.Label = LabelOf(labels, m.Source);
  drive.ReadOnlyMount = HasOption(m.Options, "ro");
  return drive;
}

// A later mount on the same point hides the earlier one.
std::vector<TMountEntry> VisibleMounts(std::vector<TMountEntry> entries) {
  std::vector<TMountEntry> visible;
  for (auto& entry : entries) {
    std::erase_if(visible, [&](const TMountEntry& v) { return v.MountPoint == entry.MountPoint; });
    visible.push_back(std::move(entry));
  }
  return visible;
}

bool ReadWholeFd(int fd, std::string& text) {
  text.clear();
  if (::lseek(fd, 0, SEEK_SET) < 0) return false;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    text.append(buffer, static_cast<size_t>(n));
  }
}

std::string ResolvedDevice(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

TDriveTable::TLabelMap LabelsForSources(const std::vector<TMountEntry>& entries) {
  const auto byDevice = TDriveTable::ReadDiskLabels();
  TDriveTable::TLabelMap labels;
  for (const auto& entry : entries) {
    if (entry.Source.rfind("/dev/", 0) != 0) continue;
    const auto it = byDevice.find(ResolvedDevice(entry.Source));
    if (it != byDevice.end()) labels[entry.Source] = it->second;
  }
  return labels;
}

void BuildTable(const std::vector<TMountEntry>& entries, const TDriveTable::TLabelMap& labels,
                const TDriveTable* previous, std::vector<TDriveInfo>& out);

}  // namespace

TDriveTable TDriveTable::FromMountInfo(const std::string& mountInfo, const TLabelMap& labels,
                                       const TDriveTable* previous) {
  TDriveTable table;
  BuildTable(ParseMountInfo(mountInfo), labels, previous, table.drives_);
  return table;
}

TDriveTable TDriveTable::FromSystem(const TDriveTable* previous) {
  std::string text;
  const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ReadWholeFd(fd, text);
    ::close(fd);
  }
  const auto entries = ParseMountInfo(text);
  TDriveTable table;
  BuildTable(entries, LabelsForSources(entries), previous, table.drives_);
  return table;
}

TDriveTable::TLabelMap TDriveTable::ReadDiskLabels(const std::string& byLabelDirectory) {
  TLabelMap labels;
  DIR* dir = ::opendir(byLabelDirectory.c_str());
  if (!dir) return labels;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    labels[ResolvedDevice(byLabelDirectory + "/" + name)] = DecodeHexEscapes(name);
  }
  ::closedir(dir);
  return labels;
}

std::string TDriveTable::NetworkNameOfSource(const std::string& source) {
  std::string rest;
  if (source.size() > 2 && (source[0] == '/' || source[0] == '\\') &&
      (source[1] == '/' || source[1] == '\\')) {
    rest = source.substr(2);  // //server/share
  } else {
    const auto colon = source.find(':');
    if (colon == std::string::npos || colon == 0 || source.find('/') < colon) return {};
    std::string host = source.substr(0, colon);  // [user@]server:path
    const auto at = host.rfind('@');
    if (at != std::string::npos) host = host.substr(at + 1);
    if (host.empty()) return {};
    rest = host + "/" + source.substr(colon + 1);
  }
  std::string name = "\\\\";
  for (char c : rest) {
    const char sep = (c == '/') ? '\\' : c;
    if (sep == '\\' && name.back() == '\\') continue;
    name += sep;
  }
  while (name.size() > 2 && name.back() == '\\') name.pop_back();
  return name.size() > 2 ? name : std::string();
}

const TDriveInfo* TDriveTable::Find(char letter) const {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const auto& drive : drives_)
    if (drive.Letter == upper) return &drive;
  return nullptr;
}

const TDriveInfo& TDriveTable::DriveOfNativePath(const std::string& nativePath) const {
  const TDriveInfo* best = Find('C');
  size_t bestLength = 0;
  for (const auto& drive : drives_) {
    if (drive.MountPoint != "/" && IsAtOrUnder(nativePath, drive.MountPoint) &&
        drive.MountPoint.size() > bestLength) {
      best = &drive;
      bestLength = drive.MountPoint.size();
    }
  }
  return *best;
}

DWORD TDriveTable::LogicalDriveMask() const {
  DWORD mask = 0;
  for (const auto& drive : drives_) mask |= DWORD{1} << (drive.Letter - 'A');
  return mask;
}

namespace {

void BuildTable(const std::vector<TMountEntry>& entries, const TDriveTable::TLabelMap& labels,
                const TDriveTable* previous, std::vector<TDriveInfo>& out) {
  const auto visible = VisibleMounts(entries);

  TDriveInfo root;
  root.MountPoint = "/";
  root.Type = DRIVE_FIXED;
  for (const auto& m : visible)
    if (m.MountPoint == "/") root = MakeDrive(m, DRIVE_FIXED, labels);
  root.Letter = 'C';

  std::vector<TDriveInfo> candidates;
  for (const auto& m : visible)
    if (const UINT type = ClassifyMount(m); type != DRIVE_UNKNOWN)
      candidates.push_back(MakeDrive(m, type, labels));

  std::set<char> used = {'C'};
  // A volume still mounted where it was keeps its letter.
  if (previous) {
    for (auto& drive : candidates) {
      for (const auto& old : previous->Drives()) {
        if (old.Letter > 'C' && old.MountPoint == drive.MountPoint && old.Source == drive.Source &&
            !used.count(old.Letter)) {
          drive.Letter = old.Letter;
          used.insert(old.Letter);
          break;
        }
      }
    }
  }
  for (auto& drive : candidates) {
    for (char letter = 'D'; drive.Letter == 0 && letter <= 'Z'; ++letter) {
      if (!used.count(letter)) {
        drive.Letter = letter;
        used.insert(letter);
      }
    }
  }

  out.clear();
  out.push_back(root);
  for (auto& drive : candidates)
    if (drive.Letter != 0) out.push_back(std::move(drive));
  std::sort(out.begin(), out.end(),
            [](const TDriveInfo& a, const TDriveInfo& b) { return a.Letter < b.Letter; });
}

struct TActiveTable {
  std::optional<TDriveTable> table;
  bool installed = false;
  int watchFd = -1;  // an open mountinfo: poll reports POLLPRI after the mounts change
};

TActiveTable& Active() {
  static TActiveTable active;
  return active;
}

bool MountsChanged(TActiveTable& active) {
  if (active.watchFd < 0) return false;
  pollfd pfd{active.watchFd, POLLPRI, 0};
  return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLPRI | POLLERR)) != 0;
}

void RebuildFromSystem(TActiveTable& active) {
  if (active.watchFd < 0) active.watchFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  std::string text;
  if (active.watchFd >= 0) ReadWholeFd(active.watchFd, text);  // reading re-arms the change notice
  const TDriveTable* previous = active.table ? &*active.table : nullptr;
  active.table = TDriveTable::FromMountInfo(text, LabelsForSources(ParseMountInfo(text)), previous);
}

}  // namespace

const TDriveTable& ActiveDriveTable() {
  auto& active = Active();
  if (!active.installed && (!active.table || MountsChanged(active))) RebuildFromSystem(active);
  return *active.table;
}

void InstallDriveTable(TDriveTable table) {
  auto& active = Active();
  active.table = std::move(table);
  active.installed = true;
}

void UseSystemDriveTable() {
  auto& active = Active();
  active.installed = false;
  active.table.reset();
}

}  // namespace lumivane
