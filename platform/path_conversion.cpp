#include "platform/path_conversion.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/current_directory.h"
#include "platform/drive_table.h"
#include "platform/platform_error.h"
#include "platform/wildcard_pattern.h"

namespace lumivane {

namespace {

std::vector<std::string> SplitComponents(const std::string& text, bool (*isSeparator)(char)) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (isSeparator(c)) {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

bool IsNativeSeparator(char c) { return c == '/'; }
bool IsProgramSeparator(char c) { return IsPathSeparator(c); }

// Appends components, resolving "." and ".."; ".." at the root stays at the root.
void AppendResolved(std::vector<std::string>& components, const std::vector<std::string>& more) {
  for (const auto& part : more) {
    if (part == ".") continue;
    if (part == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(part);
  }
}

bool HasDrivePrefix(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

char UpperLetter(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// A program path known to be well formed ("C:\a\b", as the current-directory services keep them).
TProgramPath ParseAbsolute(const std::string& path) {
  TProgramPath result;
  result.Drive = UpperLetter(path[0]);
  AppendResolved(result.Components, SplitComponents(path.substr(2), IsProgramSeparator));
  return result;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return TWildcardPattern::Fold(a) == TWildcardPattern::Fold(b);
}

// \\server\share\rest: the remote drive whose network name begins the path.
std::optional<TProgramPath> ResolveNetworkPath(const std::string& path) {
  const auto parts = SplitComponents(path, IsProgramSeparator);
  for (const auto& drive : ActiveDriveTable().Drives()) {
    if (drive.Type != DRIVE_REMOTE) continue;
    const auto nameParts =
        SplitComponents(TDriveTable::NetworkNameOfSource(drive.Source), IsProgramSeparator);
    if (nameParts.empty() || nameParts.size() > parts.size()) continue;
    if (!std::equal(nameParts.begin(), nameParts.end(), parts.begin(), SameIgnoringCase)) continue;
    TProgramPath result;
    result.Drive = drive.Letter;
    AppendResolved(
        result.Components,
        std::vector<std::string>(parts.begin() + static_cast<std::ptrdiff_t>(nameParts.size()), parts.end()));
    return result;
  }
  SetLastError(ERROR_BAD_NETPATH);
  return std::nullopt;
}

}  // namespace

std::string TProgramPath::ToProgramForm() const {
  std::string text{Drive, ':', '\\'};
  for (size_t i = 0; i < Components.size(); ++i) {
    if (i > 0) text += '\\';
    text += Components[i];
  }
  return text;
}

std::string TProgramPath::ToNativeForm() const {
  const TDriveInfo* drive = ActiveDriveTable().Find(Drive);
  std::string text = drive ? drive->MountPoint : std::string("/");
  for (const auto& part : Components) {
    if (text.back() != '/') text += '/';
    text += part;
  }
  return text;
}

std::optional<TProgramPath> ResolveProgramPath(const std::string& programPath) {
  if (programPath.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (programPath.size() >= 2 && IsPathSeparator(programPath[0]) && IsPathSeparator(programPath[1]))
    return ResolveNetworkPath(programPath);

  TProgramPath result;
  std::string rest;
  if (HasDrivePrefix(programPath)) {
    const char letter = UpperLetter(programPath[0]);
    rest = programPath.substr(2);
    result = (!rest.empty() && IsPathSeparator(rest[0])) ? TProgramPath{letter, {}}
                                                         : ParseAbsolute(DriveCurrentDirectory(letter));
  } else {
    const TProgramPath current = ParseAbsolute(GetCurrentDirectoryA());
    rest = programPath;
    result = IsPathSeparator(rest[0]) ? TProgramPath{current.Drive, {}} : current;
  }
  if (!ActiveDriveTable().Find(result.Drive)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  AppendResolved(result.Components, SplitComponents(rest, IsProgramSeparator));
  return result;
}

std::optional<std::string> ProgramToNativePath(const std::string& programPath) {
  const auto resolved = ResolveProgramPath(programPath);
  if (!resolved) return std::nullopt;
  return resolved->ToNativeForm();
}

std::string NativeToProgramPath(const std::string& nativePath) {
  std::vector<std::string> components;
  if (nativePath.empty() || nativePath[0] != '/') {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer))
      AppendResolved(components, SplitComponents(buffer, IsNativeSeparator));
  }
  AppendResolved(components, SplitComponents(nativePath, IsNativeSeparator));

  std::string absolute = "/";
  for (size_t i = 0; i < components.size(); ++i) absolute += (i > 0 ? "/" : "") + components[i];

  const TDriveInfo& drive = ActiveDriveTable().DriveOfNativePath(absolute);
  const size_t mountDepth = SplitComponents(drive.MountPoint, IsNativeSeparator).size();
  TProgramPath result;
  result.Drive = drive.Letter;
  result.Components.assign(components.begin() + static_cast<std::ptrdiff_t>(mountDepth), components.end());
  return result.ToProgramForm();
}

std::string ConvertUserPath(const std::string& text) {
  if (!text.empty() && text[0] == '/') return NativeToProgramPath(text);
  return text;
}

}  // namespace lumivane
