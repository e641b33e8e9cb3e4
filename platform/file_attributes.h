#pragma once
// File attributes derived from native file status: hidden = the name begins with '.' (but "." and
// ".." are not hidden), read-only = the user may not write the entry, directory, system = devices,
// sockets and fifos, archive = every regular file.

#include <sys/stat.h>

#include <string>

#include "platform/win_types.h"

namespace lumivane {

// Whether the effective user may not write an entry with this status, judged from its permission
// bits: the owner's bit for the owner, the group's bit for a member of its group, the others' bit
// for everyone else. The superuser may write anything, so for the superuser an entry is read-only
// when nobody has a write bit; this keeps files made read-only with chmod read-only for every user.
bool IsReadOnlyForUser(const struct stat& status);

// Whether the volume holding `nativePath` is mounted read-only.
bool IsOnReadOnlyVolume(const std::string& nativePath);

// The attributes that an entry's name and the file type bits of `mode` settle: hidden, directory,
// system and archive. Read-only needs the whole status.
DWORD NameAndTypeAttributes(const std::string& name, mode_t mode);

// The attributes of an entry called `name` with the given status.
DWORD AttributesOf(const std::string& name, const struct stat& status, bool readOnlyVolume);

// Status of a native path, following symbolic links; a dangling link reports the link itself.
bool StatusOf(const std::string& nativePath, struct stat& status);

}  // namespace lumivane
