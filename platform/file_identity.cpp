#include "platform/file_identity.h"

#include "platform/path_conversion.h"

namespace lumivane {

bool IsSameNativeFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0) return false;
  return IsSameFileStatus(a, b);
}

bool IsSameFile(const std::string& first, const std::string& second) {
  const auto a = ProgramToNativePath(first);
  const auto b = ProgramToNativePath(second);
  return a && b && IsSameNativeFile(*a, *b);
}

bool IsRegularFile(const std::string& path) {
  const auto native = ProgramToNativePath(path);
  struct stat status {};
  return native && ::stat(native->c_str(), &status) == 0 && IsRegularStatus(status);
}

}  // namespace lumivane
