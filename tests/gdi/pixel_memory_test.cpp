// The pixel cache keeps freed blocks for reuse and gives them back to the system when idle.
#include "platform/gdi/pixel_memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace lumivane {
namespace {

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

}  // namespace
}  // namespace lumivane
