#include "app/settings_file.h"

#include <string>

#include "framework/exception.h"
#include "framework/sys_utils.h"
#include "platform/file_handle.h"
#include "platform/system_info.h"

namespace lumivane {

namespace {

// Reads a whole small text file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents) {
  const int handle = FileOpen(path, 0);
  if (handle < 0) return false;
  char buffer[4096];
  bool ok = true;
  for (;;) {
    const int64_t n = FileRead(handle, buffer, sizeof buffer);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    contents.append(buffer, static_cast<size_t>(n));
    if (contents.size() > (1 << 20)) {  // not a settings file
      ok = false;
      break;
    }
  }
  FileClose(handle);
  return ok;
}

// Line reader with text-file semantics: a line ends at CR LF or a bare LF; reading past the end
// yields an empty line.
class LineReader {
 public:
  explicit LineReader(const std::string& text) : text_(text) {}
  bool AtEnd() const { return position_ >= text_.size(); }
  std::string Next() {
    const size_t start = position_;
    while (position_ < text_.size() && text_[position_] != '\n' && text_[position_] != '\r') ++position_;
    std::string line = text_.substr(start, position_ - start);
    if (position_ < text_.size() && text_[position_] == '\r') ++position_;
    if (position_ < text_.size() && text_[position_] == '\n') ++position_;
    return line;
  }

 private:
  const std::string& text_;
  size_t position_ = 0;
};

}  // namespace

std::string SettingsFilePath() { return ExtractFilePath(ExecutablePath()) + "Lumivane.dat"; }

bool ReadSettingsFile(const std::string& path, const std::function<void(int, int)>& Apply) {
  std::string contents;
  if (!ReadWholeFile(path, contents)) return false;
  LineReader lines(contents);
  while (!lines.AtEnd()) {
    for (int field = 0; field < 5; ++field) {
      int32_t value = 0;
      if (!TryStrToInt(lines.Next(), value)) return false;
      Apply(field, value);
    }
  }
  return true;
}

void WriteSettingsFile(const std::string& path, const std::array<int, 5>& values) {
  const int handle = FileCreate(path);
  if (handle < 0) return;
  for (int value : values) {
    const std::string line = IntToStr(value) + "\r\n";
    if (FileWrite(handle, line.data(), static_cast<int64_t>(line.size())) != static_cast<int64_t>(line.size()))
      break;
  }
  FileClose(handle);
}

}  // namespace lumivane
