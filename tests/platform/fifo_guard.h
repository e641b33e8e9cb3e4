#pragma once
// A FIFO that cannot hang a test: if something still waits in open() on it when the guard's time
// is up, the guard opens the writing end, which frees the waiting call, and records that it had
// to. A test asserts Released() is false to fail (rather than hang) when code blocks on the FIFO.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace lumivane {

class TFifoGuard {
 public:
  explicit TFifoGuard(std::string path, std::chrono::seconds patience = std::chrono::seconds(5))
      : path_(std::move(path)) {
    ::mkfifo(path_.c_str(), 0644);
    watcher_ = std::thread([this, patience] {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto deadline = std::chrono::steady_clock::now() + patience;
      while (!done_) {
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !done_) {
          Release(lock);
          return;
        }
      }
    });
  }
  ~TFifoGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    changed_.notify_all();
    watcher_.join();
  }
  TFifoGuard(const TFifoGuard&) = delete;
  TFifoGuard& operator=(const TFifoGuard&) = delete;

  // Something blocked on the FIFO until the guard freed it.
  bool Released() const { return released_; }

 private:
  void Release(std::unique_lock<std::mutex>& lock) {
    // Keep freeing for a while: the blocked call may come round again.
    for (int i = 0; i < 50 && !done_; ++i) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        released_ = true;
        ::close(fd);
      }
      changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
  }

  std::string path_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  std::atomic<bool> released_{false};
  std::thread watcher_;
};

}  // namespace lumivane
