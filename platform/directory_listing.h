#pragma once
// One read of a directory: every entry's name, its case-folded form and the entry type that the
// directory itself reports. A listing costs one pass over the directory and no status call per
// entry; attributes that the type cannot settle (read-only, or where a link leads) are looked up
// only for the entries that need them.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace lumivane {

class TDirectoryListing {
 public:
  struct TEntry {
    std::string Name;
    std::u32string Folded;  // TWildcardPattern::Fold(Name), for matching many patterns
    unsigned char Type;     // DT_REG, DT_DIR, ... or DT_UNKNOWN
  };

  // Reads a directory given in program form ("C:\Pictures", "D:", or empty for the current
  // directory). nullptr with the last error set when it cannot be read. While a TReuseScope is
  // alive, the previous listing of the same directory is handed back when the directory has not
  // changed since it was read.
  static std::shared_ptr<const TDirectoryListing> Read(const std::string& programDirectory);

  // The entries in the order the directory gives them, after "." and ".." (which come first in
  // every directory but a drive root, as a search reports them).
  const std::vector<TEntry>& Entries() const { return entries_; }
  bool AtDriveRoot() const { return atDriveRoot_; }

  // The file attributes of an entry as a search reports them. Only the bits in `wanted` are sure
  // to be right: hidden, directory, system and archive come from the name and type, read-only and
  // links ask the file system. INVALID_FILE_ATTRIBUTES when the entry has vanished since.
  DWORD AttributesOf(const TEntry& entry, DWORD wanted) const;

  // While one of these lives (start-up hands one path through several controls in a row),
  // reading a directory again reuses its listing when the directory is unchanged: same device,
  // inode, modification and change times, and a modification time older than the listing itself
  // by more than the file system's clock step. Main thread only; scopes nest.
  class TReuseScope {
   public:
    TReuseScope();
    ~TReuseScope();
    TReuseScope(const TReuseScope&) = delete;
    TReuseScope& operator=(const TReuseScope&) = delete;
  };

  // How many times a directory was actually read (tests check that reuse happens).
  static std::uint64_t ReadCount();

 private:
  struct TIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TIdentity&) const = default;
  };

  static std::shared_ptr<const TDirectoryListing> ReadAnew(const std::string& nativeDirectory,
                                                           bool atDriveRoot);
  static bool IdentityOf(const std::string& nativeDirectory, TIdentity& identity);
  bool Reusable(const std::string& nativeDirectory) const;

  std::string nativeDirectory_;
  std::vector<TEntry> entries_;
  bool atDriveRoot_ = false;
  bool readOnlyVolume_ = false;
  TIdentity identity_;
  std::int64_t readAtNs_ = 0;  // wall-clock time just before the directory was opened
};

}  // namespace lumivane
