#include "app/session_bus.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace lumivane {

const char* SessionBusAddressToSet(const char* GivenAddress, const char* RuntimeDirectory) {
  if (GivenAddress != nullptr && GivenAddress[0] != '\0') return nullptr;
  if (RuntimeDirectory != nullptr && RuntimeDirectory[0] != '\0') {
    struct stat socket {};
    const std::string path = std::string(RuntimeDirectory) + "/bus";
    if (::stat(path.c_str(), &socket) == 0 && S_ISSOCK(socket.st_mode)) return nullptr;
  }
  return "disabled:";
}

void KeepSessionBusFromStarting(const char* GivenAddress, const char* RuntimeDirectory) {
  if (const char* address = SessionBusAddressToSet(GivenAddress, RuntimeDirectory))
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
}

}  // namespace lumivane
