#pragma once
// A new file written under a temporary name in the folder of the file it replaces (or becomes), and
// put in place with one rename once it is complete and flushed to disk. Until that rename the
// target is untouched, so a failure at any step leaves the old file as it was; a replacement that
// is not committed removes its temporary file.

#include <string>

namespace lumivane {

class TReplacementFile {
 public:
  // `nativeTarget`: the native path the new file will have.
  explicit TReplacementFile(std::string nativeTarget);
  // Removes the temporary file unless the replacement was committed.
  ~TReplacementFile();
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  // Creates the empty temporary file (a hidden name, permission bits 0600) in the target's folder.
  // False with errno set.
  bool Create();
  // The temporary file's descriptor to write the content to; -1 before Create and after Commit.
  int Handle() const { return fd_; }
  // The temporary file's native path; empty before Create.
  const std::string& TemporaryPath() const { return temporary_; }

  // Flushes the content to disk, closes the file and renames it to the target: over an existing
  // target when `replace`, otherwise only while no entry has the target's name (EEXIST). Then
  // flushes the folder so that the new name lasts. False with errno set; the temporary file is then
  // gone and the target is as it was.
  bool Commit(bool replace);

 private:
  bool PutInPlace(bool replace);
  void Discard();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace lumivane
