#pragma once
// Zero-filled pixel memory. Large blocks are 2 MB aligned and ask the kernel for huge pages (a
// block's last part stays in small pages where a whole huge page would waste much), and a
// few recently freed large blocks are kept for reuse, because the first touch of fresh memory
// costs more than decoding the pixels written into it. A kept block that is not reused within the
// idle limit (a second by default) is given back to the system.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace lumivane {

class PixelMemory {
 public:
  PixelMemory() = default;
  explicit PixelMemory(std::size_t bytes);  // throws std::bad_alloc when memory runs out
  ~PixelMemory();
  PixelMemory(PixelMemory&& other) noexcept;
  PixelMemory& operator=(PixelMemory&& other) noexcept;
  PixelMemory(const PixelMemory&) = delete;
  PixelMemory& operator=(const PixelMemory&) = delete;

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

  // The bytes from `offset` on are not going to be written (a decoder filled only the start).
  // Large blocks then stop asking for huge pages there, so that reading those bytes maps the
  // system's shared zero page instead of materialising fresh 2 MB pages.
  void LeaveUnwritten(std::size_t offset);

  // Blocks of this size or more are aligned, huge-paged and cached when freed.
  static constexpr std::size_t kLargeBlock = 1u << 20;
  // Frees the cached blocks (tests use it to start from a known state).
  static void TrimCache();
  // How many freed blocks the cache holds right now.
  static std::size_t CachedBlockCount();
  // How long a freed block is kept for reuse before it goes back to the system.
  static void SetIdleLimit(std::chrono::milliseconds limit);

 private:
  void release();

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;      // bytes asked for
  std::size_t capacity_ = 0;  // bytes mapped (large blocks) or 0 (small blocks)
};

}  // namespace lumivane
