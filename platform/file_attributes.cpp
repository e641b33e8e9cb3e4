#include "platform/file_attributes.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace lumivane {

namespace {

// The process never changes its identity, so the ids are read once (each read is a system call,
// and a large folder asks for every entry).
uid_t EffectiveUser() {
  static const uid_t user = ::geteuid();
  return user;
}

bool IsMemberOfGroup(gid_t group) {
  static const gid_t effectiveGroup = ::getegid();
  if (group == effectiveGroup) return true;
  static const std::vector<gid_t> groups = [] {
    std::vector<gid_t> list(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(list.size()), list.data());
    list.resize(static_cast<size_t>(std::max(count, 0)));
    return list;
  }();
  return std::find(groups.begin(), groups.end(), group) != groups.end();
}

}  // namespace

bool IsReadOnlyForUser(const struct stat& status) {
  const uid_t user = EffectiveUser();
  if (user == 0) return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  if (status.st_uid == user) return (status.st_mode & S_IWUSR) == 0;
  if (IsMemberOfGroup(status.st_gid)) return (status.st_mode & S_IWGRP) == 0;
  return (status.st_mode & S_IWOTH) == 0;
}

bool IsOnReadOnlyVolume(const std::string& nativePath) {
  struct statvfs volume {};
  return ::statvfs(nativePath.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0;
}

DWORD NameAndTypeAttributes(const std::string& name, mode_t mode) {
  DWORD attributes = 0;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (S_ISDIR(mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode) || S_ISFIFO(mode)) {
    attributes |= FILE_ATTRIBUTE_SYSTEM;
  } else {
    attributes |= FILE_ATTRIBUTE_ARCHIVE;  // regular files, and links that lead nowhere
  }
  return attributes;
}

DWORD AttributesOf(const std::string& name, const struct stat& status, bool readOnlyVolume) {
  DWORD attributes = NameAndTypeAttributes(name, status.st_mode);
  if (readOnlyVolume || IsReadOnlyForUser(status)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

bool StatusOf(const std::string& nativePath, struct stat& status) {
  return ::stat(nativePath.c_str(), &status) == 0 || ::lstat(nativePath.c_str(), &status) == 0;
}

}  // namespace lumivane
