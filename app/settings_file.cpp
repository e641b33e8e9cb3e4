#include "app/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "framework/exception.h"
#include "framework/sys_utils.h"
#include "platform/file_handle.h"
#include "platform/file_operations.h"
#include "platform/path_conversion.h"
#include "platform/system_info.h"

namespace lumivane {

namespace {

// Reads a text file line by line with text-file semantics: a line ends at CR LF or a bare LF;
// reading past the end yields an empty line.
class LineReader {
 public:
  explicit LineReader(int handle) : handle_(handle) {}
  // False when the file could not be read.
  bool Ok() const { return ok_; }
  bool AtEnd() {
    Fill();
    return position_ >= buffer_.size();
  }
  std::string Next() {
    std::string line;
    while (!AtEnd()) {
      const char c = buffer_[position_++];
      if (c == '\n') break;
      if (c == '\r') {
        if (!AtEnd() && buffer_[position_] == '\n') ++position_;
        break;
      }
      line += c;
    }
    return line;
  }

 private:
  void Fill() {
    if (position_ < buffer_.size() || eof_ || !ok_) return;
    buffer_.resize(4096);
    const int64_t n = FileRead(handle_, buffer_.data(), static_cast<int64_t>(buffer_.size()));
    if (n < 0) ok_ = false;
    if (n <= 0) eof_ = true;
    buffer_.resize(n > 0 ? static_cast<size_t>(n) : 0);
    position_ = 0;
  }

  int handle_;
  std::string buffer_;
  size_t position_ = 0;
  bool eof_ = false;
  bool ok_ = true;
};

}  // namespace

namespace {

constexpr const char* kSettingsName = "Lumivane.dat";

// The user's configuration folder in native form, without a trailing separator.
std::string NativeConfigHome() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') return configHome;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : "/";
  }
  std::string folder = home;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder == "/" ? "/.config" : folder + "/.config";
}

bool FolderWritable(const std::string& folder) {
  const auto native = ProgramToNativePath(folder);
  return native && access(native->c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string UserSettingsFolder() { return NativeToProgramPath(NativeConfigHome() + "/lumivane") + "\\"; }

std::string SettingsFilePath() {
  const std::string folder = ExtractFilePath(ExecutablePath());
  const std::string beside = folder + kSettingsName;
  if (FileExists(beside) || FolderWritable(folder)) return beside;
  return UserSettingsFolder() + kSettingsName;
}

void PrepareSettingsFolder(const std::string& path) {
  const std::string folder = UserSettingsFolder();
  if (ExtractFilePath(path) != folder) return;
  // The folder and, when missing too, the configuration folder above it.
  const std::string own = ExtractFileDir(folder);
  const std::string parent = ExtractFileDir(own);
  if (!DirectoryExists(parent)) CreateDirectoryA(parent);
  if (!DirectoryExists(own)) CreateDirectoryA(own);
}

bool ReadSettingsFile(const std::string& path, const std::function<void(int, int)>& Apply) {
  const int handle = FileOpen(path, 0);
  if (handle < 0) return false;
  LineReader lines(handle);
  bool loaded = true;
  while (loaded && !lines.AtEnd()) {
    for (int field = 0; field < 5; ++field) {
      int32_t value = 0;
      if (!TryStrToInt(lines.Next(), value) || !lines.Ok()) {
        loaded = false;
        break;
      }
      Apply(field, value);
    }
  }
  FileClose(handle);
  return loaded && lines.Ok();
}

void WriteSettingsFile(const std::string& path, const std::array<int, 5>& values) {
  const int handle = FileCreate(path);
  if (handle < 0) return;
  for (int value : values) {
    const std::string line = IntToStr(value) + "\r\n";
    if (FileWrite(handle, line.data(), static_cast<int64_t>(line.size())) !=
        static_cast<int64_t>(line.size()))
      break;
  }
  FileClose(handle);
}

}  // namespace lumivane
