#include "platform/current_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <map>

#include "platform/drive_table.h"
#include "platform/path_conversion.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

struct TCurrentState {
  bool initialised = false;
  std::string program;                   // current directory, program form
  std::string native;                    // the same, native form
  std::map<char, std::string> perDrive;  // remembered directory of each drive, program form
};

TCurrentState& State() {
  static TCurrentState state;
  return state;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void Remember(TCurrentState& state, const std::string& program, const std::string& native) {
  state.program = program;
  state.native = native;
  state.perDrive[program[0]] = program;
}

// Takes the state from the real working directory: at start, and whenever something moved the
// working directory behind these services' back.
void SyncWithWorkingDirectory(TCurrentState& state) {
  char buffer[4096];
  if (!::getcwd(buffer, sizeof buffer)) {
    if (!state.initialised) Remember(state, "C:\\", "/");
    return;
  }
  Remember(state, NativeToProgramPath(buffer), buffer);
}

TCurrentState& SyncedState() {
  auto& state = State();
  if (!state.initialised) {
    SyncWithWorkingDirectory(state);
    state.initialised = true;
  } else if (!SameFile(state.native, ".")) {
    SyncWithWorkingDirectory(state);
  }
  return state;
}

bool IsDriveOnly(const std::string& path) {
  return path.size() == 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

bool IsDirectory(const std::string& native) {
  struct stat st {};
  return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "D:" enters the drive's remembered directory; when that has gone, its root.
std::string DriveTarget(char letter) {
  const std::string remembered = DriveCurrentDirectory(letter);
  const auto native = ProgramToNativePath(remembered);
  if (native && !IsDirectory(*native)) return std::string{letter, ':', '\\'};
  return remembered;
}

BOOL CheckDriveReady(char letter) {
  const TDriveInfo* drive = ActiveDriveTable().Find(letter);
  if (!drive) return FailWith(ERROR_PATH_NOT_FOUND);
  struct stat st {};
  if (::stat(drive->MountPoint.c_str(), &st) != 0) return FailWith(ERROR_NOT_READY);
  return TRUE;
}

}  // namespace

std::string GetCurrentDirectoryA() { return SyncedState().program; }

std::string DriveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  const auto& state = SyncedState();
  const auto it = state.perDrive.find(upper);
  return it != state.perDrive.end() ? it->second : std::string{upper, ':', '\\'};
}

BOOL SetCurrentDirectoryA(const std::string& path) {
  auto& state = SyncedState();
  const std::string request =
      IsDriveOnly(path) ? DriveTarget(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))))
                        : path;
  const auto resolved = ResolveProgramPath(request);
  if (!resolved) return FALSE;
  if (!CheckDriveReady(resolved->Drive)) return FALSE;

  const std::string native = resolved->ToNativeForm();
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) return FailWithPathErrno(errno, native);
  if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
  if (::chdir(native.c_str()) != 0) return FailWithPathErrno(errno, native);

  Remember(state, resolved->ToProgramForm(), native);
  return TRUE;
}

}  // namespace lumivane
