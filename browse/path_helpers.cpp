#include "browse/path_helpers.h"

#include "framework/exception.h"
#include "framework/font.h"
#include "framework/sys_utils.h"
#include "framework/text_collation.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/file_operations.h"
#include "platform/gdi/gdi.h"
#include "platform/platform_error.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The name after the last separator or ':'.
std::string NameAfterLastDelimiter(const std::string& path) {
  const size_t last = path.find_last_of("\\/:");
  return last == std::string::npos ? path : path.substr(last + 1);
}

// The directory part of the current directory with its drive part removed, "\" for a root.
std::string CurrentDirectoryWithoutDrive() {
  const std::string current = GetCurrentDirectoryA();
  const std::string rest = current.substr(ExtractFileDrive(current).size());
  return rest.empty() ? "\\" : rest;
}

// Makes SaveDir current again when it still exists, whatever way the guarded block is left.
class TCurrentDirectoryGuard {
 public:
  explicit TCurrentDirectoryGuard(std::string saved) : saved_(std::move(saved)) {}
  ~TCurrentDirectoryGuard() {
    if (IsExistingDirectory(saved_)) SetCurrentDirectoryA(saved_);
  }
  TCurrentDirectoryGuard(const TCurrentDirectoryGuard&) = delete;
  TCurrentDirectoryGuard& operator=(const TCurrentDirectoryGuard&) = delete;

 private:
  std::string saved_;
};

// The directory part of Path once NamePart (its last component) is known.
std::string DirectoryPartOf(const std::string& path, const std::string& namePart) {
  if (path.size() == namePart.size() + 1) return "\\";
  if (path.size() > namePart.size()) return path.substr(0, path.size() - namePart.size() - 1);
  return CurrentDirectoryWithoutDrive();
}

}  // namespace

int CompareFileNames(const std::string& a, const std::string& b) {
  return TTextCollation::CompareIgnoringCase(a, b);
}

bool SameFileName(const std::string& a, const std::string& b) { return CompareFileNames(a, b) == 0; }

std::string JoinPath(const std::string& dir, const std::string& name) {
  // UTF-8 never uses the byte of '\' inside a multi-byte character, so a byte test is exact.
  if (!dir.empty() && dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

bool IsExistingDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const std::string& path) { return FileExists(path); }

std::unique_ptr<TBitmap> LoadGlyph(const char* name) {
  InitLumivaneResources();
  auto glyph = std::make_unique<TBitmap>();
  glyph->LoadFromResourceName(name);
  return glyph;
}

void EnterDirectory(const std::string& path) {
  if (!SetCurrentDirectoryA(path)) throw EInOutError(static_cast<int>(GetLastError()));
}

TPathInput SplitPathInput(const std::string& text) {
  TPathInput result;
  const std::string saveDir = GetCurrentDirectoryA();
  result.Drive = saveDir.empty() ? 0 : saveDir[0];
  std::string path = text;
  std::string driveStr;

  if (path.size() >= 2 && path.front() == '[' && path.back() == ']') {
    // A directory item copied from the file list.
    path = path.substr(1, path.size() - 2);
  } else {
    driveStr = ExtractFileDrive(path);
    if (!driveStr.empty()) {
      path.erase(0, driveStr.size());
    } else {
      driveStr = ExtractFileDrive(saveDir);
    }
    result.Drive = (driveStr.size() >= 2 && driveStr[1] == ':') ? driveStr[0] : 0;
  }

  TCurrentDirectoryGuard guard(saveDir);
  if (!driveStr.empty() && IsExistingDirectory(driveStr)) EnterDirectory(driveStr);

  result.NamePart = NameAfterLastDelimiter(path);
  result.DirPart = DirectoryPartOf(path, result.NamePart);
  if (!result.DirPart.empty()) EnterDirectory(result.DirPart);

  if (!result.NamePart.empty() && !HasWildcard(result.NamePart) && !IsExistingFile(result.NamePart)) {
    // Not a file here: the name is a directory below the directory part.
    EnterDirectory(result.NamePart);
    if (result.DirPart.size() == 1 && IsSeparator(result.DirPart[0])) {
      result.DirPart = "\\" + result.NamePart;
    } else {
      result.DirPart = result.DirPart + "\\" + result.NamePart;
    }
    result.NamePart.clear();
  }

  if (result.Drive == 0) result.DirPart = driveStr + result.DirPart;
  return result;
}

}  // namespace lumivane
