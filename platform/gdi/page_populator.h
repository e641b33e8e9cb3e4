#pragma once
// Maps the pages of a large block of pixel memory on a helper thread, in the order a writer is
// going to fill it. The first touch of a fresh page costs the kernel a clearing and the writer a
// fault; done ahead on the other core, that cost leaves the writer's path. Only page tables are
// made: no byte of the block is read or changed, so the writer may run over the same pages at any
// time. Where the kernel cannot populate pages ahead, nothing happens.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace lumivane {

class PagePopulator {
 public:
  enum class Order { Ascending, Descending };

  // Blocks smaller than this are mapped faster than a thread starts.
  static constexpr std::size_t kMinimumBytes = std::size_t{8} << 20;

  PagePopulator() = default;
  // Starts mapping [start, start + bytes) in the given order; smaller blocks are left alone.
  PagePopulator(void* start, std::size_t bytes, Order order);
  ~PagePopulator();  // stops the helper and waits for it
  PagePopulator(const PagePopulator&) = delete;
  PagePopulator& operator=(const PagePopulator&) = delete;

  // Stops the helper and waits for it; the block may be freed afterwards.
  void Stop();
  // Waits until the helper has gone through the whole block.
  void Wait();
  bool Running() const { return helper_.joinable(); }

 private:
  void Populate();

  std::uint8_t* start_ = nullptr;
  std::size_t bytes_ = 0;
  Order order_ = Order::Ascending;
  std::atomic<bool> stop_{false};
  std::thread helper_;
};

}  // namespace lumivane
