// The pixel cache keeps freed blocks for reuse and gives them back to the system when idle.
#include "platform/gdi/pixel_memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lumivane {
namespace {

// The flags ("VmFlags") of the memory mapping that holds `address`, each followed by a space.
std::string MappingFlags(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    unsigned long long from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx ", &from, &to) == 2) {
      inside = from <= at && at < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line.substr(8) + " ";
    }
  }
  return {};
}

TEST(PixelMemoryCache, IdleBlocksGoBackToTheSystem) {
  PixelMemory::TrimCache();
  PixelMemory::SetIdleLimit(std::chrono::milliseconds(20));
  { PixelMemory block(PixelMemory::kLargeBlock * 3); }
  // A block handed out again, from the cache or fresh, is zeroed.
  {
    PixelMemory first(PixelMemory::kLargeBlock * 4);
    first.data()[5] = 9;
  }
  PixelMemory again(PixelMemory::kLargeBlock * 4);
  EXPECT_EQ(again.data()[5], 0);  // handed out zeroed
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (PixelMemory::CachedBlockCount() != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(PixelMemory::CachedBlockCount(), 0u);
  PixelMemory::SetIdleLimit(std::chrono::seconds(1));
}

TEST(PixelMemoryCache, AReusedBlockAsksForHugePagesAgain) {
  PixelMemory::TrimCache();
  PixelMemory::SetIdleLimit(std::chrono::hours(1));  // the block must still be there to be reused
  {
    PixelMemory partly(PixelMemory::kLargeBlock * 4);
    if (MappingFlags(partly.data()).find(" hg ") == std::string::npos)
      GTEST_SKIP() << "the system gives no huge pages on request";
    partly.LeaveUnwritten(0);  // a decoder wrote none of it
    ASSERT_NE(MappingFlags(partly.data()).find(" nh "), std::string::npos);
  }
  ASSERT_EQ(PixelMemory::CachedBlockCount(), 1u);
  PixelMemory again(PixelMemory::kLargeBlock * 4);
  EXPECT_EQ(PixelMemory::CachedBlockCount(), 0u);  // the same block, taken from the cache
  const std::string flags = MappingFlags(again.data());
  EXPECT_NE(flags.find(" hg "), std::string::npos) << flags;
  EXPECT_EQ(flags.find(" nh "), std::string::npos) << flags;
  PixelMemory::SetIdleLimit(std::chrono::seconds(1));
}

TEST(PixelMemoryCache, ABlockCostsHugePagesOnlyWhereTheyFitIt) {
  PixelMemory::TrimCache();
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t hugePage = std::size_t{2} << 20;
  // 1.3 MB, as a small GIF file read whole: a huge page would cost half as much again.
  const std::size_t bytes = hugePage * 13 / 20;
  PixelMemory block(bytes);
  std::memset(block.data(), 1, bytes);
  const std::size_t mapped = (bytes + page - 1) / page * page;
  std::vector<unsigned char> resident((hugePage - mapped) / page);
  // Past the block's own pages nothing is resident (or nothing is even mapped).
  if (mincore(block.data() + mapped, hugePage - mapped, resident.data()) == 0) {
    std::size_t count = 0;
    for (unsigned char flag : resident) count += flag & 1;
    EXPECT_EQ(count, 0u);
  }
  // Every byte asked for is there and zero-filled before it was written.
  PixelMemory other(bytes);
  EXPECT_EQ(other.data()[bytes - 1], 0);
}

}  // namespace
}  // namespace lumivane
