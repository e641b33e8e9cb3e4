#pragma once
// A temporary folder tree for the browsing tests, given in program form (C:\tmp\...). The
// process's current directory is put back and the tree removed when the object goes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/current_directory.h"
#include "platform/path_conversion.h"

namespace lumivane::testing {

class TTempTree {
 public:
  TTempTree() : saved_cwd_(GetCurrentDirectoryA()) {
    char pattern[] = "/tmp/lumivane-browse-XXXXXX";
    native_ = mkdtemp(pattern);
    program_ = NativeToProgramPath(native_);
  }
  ~TTempTree() {
    SetCurrentDirectoryA(saved_cwd_);
    std::error_code ignored;
    std::filesystem::remove_all(native_, ignored);
  }
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  // Program path of the tree or of an entry below it ("sub/x.jpg" style relative names).
  const std::string& Path() const { return program_; }
  std::string Path(const std::string& relative) const {
    std::string result = program_;
    for (char c : "\\" + relative) result += (c == '/' ? '\\' : c);
    return result;
  }
  std::string Native(const std::string& relative) const { return native_ + "/" + relative; }

  void File(const std::string& relative, const std::string& content = "x") const {
    std::ofstream(Native(relative), std::ios::binary) << content;
  }
  void Directory(const std::string& relative) const { std::filesystem::create_directories(Native(relative)); }
  // No write permission for anyone: read-only for every user, the superuser included.
  void ReadOnlyFile(const std::string& relative) const {
    File(relative);
    chmod(Native(relative).c_str(), 0444);
  }
  // A fifo carries the system attribute.
  void Fifo(const std::string& relative) const { mkfifo(Native(relative).c_str(), 0644); }

 private:
  std::string saved_cwd_;
  std::string native_;
  std::string program_;
};

}  // namespace lumivane::testing
