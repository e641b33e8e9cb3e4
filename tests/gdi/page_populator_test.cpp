// Pages are mapped ahead of a writer without a byte of the block changing.
#include "platform/gdi/page_populator.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "platform/gdi/pixel_memory.h"

namespace lumivane {
namespace {

// How many of the block's pages are resident.
std::size_t ResidentPages(const std::uint8_t* start, std::size_t bytes) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((bytes + page - 1) / page);
  if (mincore(const_cast<std::uint8_t*>(start), bytes, resident.data()) != 0) return 0;
  std::size_t count = 0;
  for (unsigned char flag : resident) count += flag & 1;
  return count;
}

std::uint8_t PatternAt(std::size_t i) { return static_cast<std::uint8_t>(i * 7 + 3); }

TEST(PagePopulator, MapsAFreshBlockWithoutWritingIt) {
  PixelMemory::TrimCache();
  const std::size_t bytes = PagePopulator::kMinimumBytes * 2;
  PixelMemory block(bytes);
  // Bytes written before the helper starts stay as they are; fresh ones read zero.
  block.data()[0] = 11;
  block.data()[bytes - 1] = 22;
  {
    PagePopulator populator(block.data(), bytes, PagePopulator::Order::Descending);
    EXPECT_TRUE(populator.Running());
    populator.Wait();
  }
  EXPECT_EQ(block.data()[0], 11);
  EXPECT_EQ(block.data()[bytes - 1], 22);
  // Stopped at once, a helper returns without waiting for the rest of the block.
  PagePopulator stopped(block.data(), bytes, PagePopulator::Order::Ascending);
  stopped.Stop();
  EXPECT_FALSE(stopped.Running());
  for (std::size_t i = 1; i + 1 < bytes; i += 4093) ASSERT_EQ(block.data()[i], 0) << i;
  // Where the kernel can populate ahead (Linux 5.14 on), every page is resident now.
  void* probe = block.data();
  if (madvise(probe, 4096, 23 /* MADV_POPULATE_WRITE */) != 0) GTEST_SKIP() << "no populating ahead here";
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  EXPECT_EQ(ResidentPages(block.data(), bytes), bytes / page);
}

TEST(PagePopulator, AWriterRunningOverTheSamePagesKeepsEveryByte) {
  PixelMemory::TrimCache();
  const std::size_t bytes = PagePopulator::kMinimumBytes * 3 + 12345;  // not a whole page
  for (const auto order : {PagePopulator::Order::Ascending, PagePopulator::Order::Descending}) {
    PixelMemory block(bytes);
    PagePopulator populator(block.data(), bytes, order);
    // The writer starts where the helper ends, so the two meet in the middle.
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::size_t at = order == PagePopulator::Order::Descending ? i : bytes - 1 - i;
      block.data()[at] = PatternAt(at);
    }
    populator.Wait();
    EXPECT_FALSE(populator.Running());
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < bytes; ++i) wrong += block.data()[i] != PatternAt(i);
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(PagePopulator, SmallOrMissingBlocksStartNothing) {
  PixelMemory small(PagePopulator::kMinimumBytes - 1);
  PagePopulator forSmall(small.data(), small.size(), PagePopulator::Order::Ascending);
  EXPECT_FALSE(forSmall.Running());
  PagePopulator forNothing(nullptr, PagePopulator::kMinimumBytes, PagePopulator::Order::Ascending);
  EXPECT_FALSE(forNothing.Running());
  PagePopulator empty;
  empty.Wait();  // waiting for or stopping one that never ran is harmless
  empty.Stop();
  EXPECT_FALSE(empty.Running());
}

}  // namespace
}  // namespace lumivane
