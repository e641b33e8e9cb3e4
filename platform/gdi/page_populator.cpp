#include "platform/gdi/page_populator.h"

#include <sys/mman.h>

#include <algorithm>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it with EINVAL
#endif

namespace lumivane {

namespace {

constexpr std::size_t kPageSize = 4096;
// One huge page per call: small enough to stop soon, large enough that calls cost nothing.
constexpr std::size_t kChunk = std::size_t{2} << 20;

}  // namespace

PagePopulator::PagePopulator(void* start, std::size_t bytes, Order order) : order_(order) {
  if (start == nullptr || bytes < kMinimumBytes) return;
  // madvise wants page-aligned ranges: round inwards, the edges are the writer's.
  const auto first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + kPageSize - 1) & ~(kPageSize - 1);
  const std::uintptr_t end = (first + bytes) & ~(kPageSize - 1);
  if (end <= begin) return;
  start_ = reinterpret_cast<std::uint8_t*>(begin);
  bytes_ = end - begin;
  helper_ = std::thread([this] { Populate(); });
}

PagePopulator::~PagePopulator() { Stop(); }

void PagePopulator::Stop() {
  if (!helper_.joinable()) return;
  stop_.store(true, std::memory_order_relaxed);
  helper_.join();
}

void PagePopulator::Wait() {
  if (helper_.joinable()) helper_.join();
}

void PagePopulator::Populate() {
  for (std::size_t done = 0; done < bytes_ && !stop_.load(std::memory_order_relaxed);) {
    const std::size_t length = std::min(kChunk, bytes_ - done);
    const std::size_t offset = order_ == Order::Ascending ? done : bytes_ - done - length;
    if (madvise(start_ + offset, length, MADV_POPULATE_WRITE) != 0) return;  // unsupported or gone
    done += length;
  }
}

}  // namespace lumivane
