#include "platform/gdi/pixel_memory.h"

#include <sys/mman.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace lumivane {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kSmallPage = 4096;
constexpr std::size_t kMaxCachedBlocks = 3;
constexpr std::size_t kMaxCachedBytes = std::size_t{256} << 20;

using Clock = std::chrono::steady_clock;

struct Block {
  std::uint8_t* data;
  std::size_t capacity;
  Clock::time_point freedAt{};
};

std::chrono::milliseconds g_idleLimit{1000};

// Recently freed large blocks. The only mutable state shared between threads here. A block that
// nobody takes again within the idle limit goes back to the system, unmapped by a helper thread
// that sleeps while the cache is empty: stepping through large pictures reuses the blocks, and a
// viewer left on a small picture gives them back.
class BlockCache {
 public:
  // A cached block of at least `bytes` that does not waste more than half of itself.
  bool Take(std::size_t bytes, Block* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      if (blocks_[i].capacity >= bytes && blocks_[i].capacity / 2 <= bytes) {
        *out = blocks_[i];
        bytes_ -= out->capacity;
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
    }
    return false;
  }

  // Keeps the block, evicting the oldest ones to stay within the bounds.
  void Give(Block block) {
    std::vector<Block> evicted;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (block.capacity > kMaxCachedBytes) {
        evicted.push_back(block);
      } else {
        block.freedAt = Clock::now();
        blocks_.push_back(block);
        StartTrimmer();
        idle_.notify_one();
        bytes_ += block.capacity;
        while (blocks_.size() > kMaxCachedBlocks || bytes_ > kMaxCachedBytes) {
          evicted.push_back(blocks_.front());
          bytes_ -= blocks_.front().capacity;
          blocks_.erase(blocks_.begin());
        }
      }
    }
    for (const Block& b : evicted) munmap(b.data, b.capacity);
  }

  void Trim() {
    std::vector<Block> evicted;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      evicted.swap(blocks_);
      bytes_ = 0;
    }
    for (const Block& b : evicted) munmap(b.data, b.capacity);
  }

  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
  }

  void SetIdleLimit(std::chrono::milliseconds limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    g_idleLimit = limit;
    idle_.notify_one();
  }

 private:
  // Called with the lock held.
  void StartTrimmer() {
    if (trimmerStarted_) return;
    trimmerStarted_ = true;
    // The cache lives as long as the process, and so does the thread.
    std::thread([this] { TrimWhenIdle(); }).detach();
  }

  // Unmaps every block that has waited longer than the idle limit; blocks are kept oldest first.
  void TrimWhenIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      if (blocks_.empty()) {
        idle_.wait(lock);
        continue;
      }
      const Clock::time_point due = blocks_.front().freedAt + g_idleLimit;
      if (Clock::now() < due) {
        idle_.wait_until(lock, due);
        continue;
      }
      std::vector<Block> evicted;
      const Clock::time_point now = Clock::now();
      while (!blocks_.empty() && blocks_.front().freedAt + g_idleLimit <= now) {
        evicted.push_back(blocks_.front());
        bytes_ -= blocks_.front().capacity;
        blocks_.erase(blocks_.begin());
      }
      lock.unlock();
      for (const Block& b : evicted) munmap(b.data, b.capacity);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable idle_;
  bool trimmerStarted_ = false;
  std::vector<Block> blocks_;
  std::size_t bytes_ = 0;
};

BlockCache& Cache() {
  static BlockCache* cache = new BlockCache;  // never destroyed: blocks may be freed at exit
  return *cache;
}

// The bytes mapped for a block: whole huge pages when that wastes at most an eighth of the block;
// otherwise whole small pages, so that the part past the last whole huge page stays in small
// pages instead of costing a full huge page.
std::size_t MappedSize(std::size_t bytes) {
  const std::size_t huge = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  if (huge - bytes <= bytes / 8) return huge;
  return (bytes + kSmallPage - 1) & ~(kSmallPage - 1);
}

// Maps `capacity` bytes (a multiple of the small page) at a 2 MB boundary and asks for huge
// pages, which the kernel gives to every whole 2 MB stretch of the block.
std::uint8_t* MapAligned(std::size_t capacity) {
  const std::size_t span = capacity + kHugePage;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::size_t head = aligned - start;
  const std::size_t tail = span - head - capacity;
  if (head != 0) munmap(raw, head);
  if (tail != 0) munmap(reinterpret_cast<void*>(aligned + capacity), tail);
  madvise(reinterpret_cast<void*>(aligned), capacity, MADV_HUGEPAGE);
  return reinterpret_cast<std::uint8_t*>(aligned);
}

}  // namespace

PixelMemory::PixelMemory(std::size_t bytes) : size_(bytes) {
  if (bytes == 0) return;
  if (bytes < kLargeBlock) {
    data_ = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (data_ == nullptr) throw std::bad_alloc();
    return;
  }
  if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  Block block{};
  if (Cache().Take(bytes, &block)) {
    data_ = block.data;
    capacity_ = block.capacity;
    // A previous owner may have left part of the block unwritten, which stopped that part asking
    // for huge pages; this owner is going to write it.
    madvise(data_, capacity_, MADV_HUGEPAGE);
    std::memset(data_, 0, bytes);  // reused memory holds old pixels
    return;
  }
  capacity_ = MappedSize(bytes);
  data_ = MapAligned(capacity_);  // fresh anonymous memory is zero
}

PixelMemory::~PixelMemory() { release(); }

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
  other.data_ = nullptr;
  other.size_ = other.capacity_ = 0;
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept {
  if (this != &other) {
    release();
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  return *this;
}

void PixelMemory::release() {
  if (data_ == nullptr) return;
  if (capacity_ == 0)
    std::free(data_);
  else
    Cache().Give(Block{data_, capacity_});
  data_ = nullptr;
  size_ = capacity_ = 0;
}

void PixelMemory::LeaveUnwritten(std::size_t offset) {
  if (capacity_ == 0) return;
  const std::size_t page = 4096;
  const std::size_t start = (offset + page - 1) & ~(page - 1);
  if (start >= capacity_) return;
  madvise(data_ + start, capacity_ - start, MADV_NOHUGEPAGE);
}

void PixelMemory::TrimCache() { Cache().Trim(); }

std::size_t PixelMemory::CachedBlockCount() { return Cache().Count(); }

void PixelMemory::SetIdleLimit(std::chrono::milliseconds limit) { Cache().SetIdleLimit(limit); }

}  // namespace lumivane
