// The viewer never makes the bus library start a session bus of its own.
#include "app/session_bus.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace lumivane {
namespace {

TEST(SessionBus, OnlyASessionWithoutABusGetsTheDisabledAddress) {
  const std::filesystem::path runtime =
      std::filesystem::temp_directory_path() / ("lumivane-bus-" + std::to_string(::getpid()));
  std::filesystem::remove_all(runtime);
  std::filesystem::create_directories(runtime);
  const std::string folder = runtime.string();

  // No address and nothing at the standard place: the lookup is disabled.
  EXPECT_STREQ(SessionBusAddressToSet(nullptr, nullptr), "disabled:");
  EXPECT_STREQ(SessionBusAddressToSet("", ""), "disabled:");
  EXPECT_STREQ(SessionBusAddressToSet(nullptr, folder.c_str()), "disabled:");
  // A plain file named like the socket is no bus.
  std::FILE* file = std::fopen((runtime / "bus").c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_STREQ(SessionBusAddressToSet(nullptr, folder.c_str()), "disabled:");
  std::filesystem::remove(runtime / "bus");

  // A socket at the standard place, or an address given, is the session's bus: left alone.
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (runtime / "bus").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(SessionBusAddressToSet(nullptr, folder.c_str()), nullptr);
  EXPECT_EQ(SessionBusAddressToSet("unix:path=/run/user/1000/bus", nullptr), nullptr);
  ::close(listener);
  std::filesystem::remove_all(runtime);
}

}  // namespace
}  // namespace lumivane
