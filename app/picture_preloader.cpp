#include "app/picture_preloader.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "framework/stream.h"
#include "framework/sys_utils.h"
#include "picture/bitmap.h"
#include "picture/file_formats_list.h"
#include "picture/fitted_copy.h"
#include "picture/graphic.h"
#include "picture/jpeg_image.h"
#include "platform/path_conversion.h"

namespace lumivane {

namespace {

// How much lower the worker's scheduling priority is than the window's thread (nice steps: at 5 the
// window's thread gets three times the worker's share of a shared core).
constexpr int kLowerBy = 5;

TFileStamp StampOf(const struct stat& info) {
  return TFileStamp{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                    static_cast<int64_t>(info.st_size),
                    static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// Closes a descriptor on every path.
struct FileCloser {
  int fd;
  ~FileCloser() {
    if (fd >= 0) ::close(fd);
  }
};

// A read-only stream over an open regular file. The graphic classes copy what they keep, so the
// bytes are read straight from the file once.
class TDescriptorStream : public TStream {
 public:
  TDescriptorStream(int Fd, int64_t Size) : fd_(Fd), size_(Size) {}
  int64_t Read(void* Buffer, int64_t Count) override {
    if (Count <= 0 || position_ >= size_) return 0;
    auto* bytes = static_cast<uint8_t*>(Buffer);
    const int64_t wanted = std::min(Count, size_ - position_);
    int64_t done = 0;
    while (done < wanted) {
      const ssize_t got = ::pread(fd_, bytes + done, static_cast<size_t>(wanted - done), position_ + done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;  // the file shrank: a short read, which the readers report
      done += got;
    }
    position_ += done;
    return done;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    const int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? position_ : size_;
    position_ = std::max<int64_t>(0, base + Offset);
    return position_;
  }
  int64_t Size() override { return size_; }

 private:
  int fd_;
  int64_t size_;
  int64_t position_ = 0;
};

std::string UpperExtension(const std::string& Path) { return UpperCase(ExtractFileExt(Path)); }

}  // namespace

std::optional<TFileStamp> StampOfNativeFile(const std::string& NativePath) {
  struct stat info {};
  if (::stat(NativePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return StampOf(info);
}

struct TPicturePreloader::Entry {
  enum State { Queued, Decoding, Ready, Failed };

  std::string Native;  // resolved on the caller's thread
  std::string Upper;   // the upper-cased extension: the same file under another name may decode otherwise
  const TGraphicClass* Class = nullptr;
  TFileStamp Stamp;  // when queued; once decoded, that of the bytes read
  State Status = Queued;
  bool Urgent = false;
  std::unique_ptr<TGraphic> Graphic;
  std::unique_ptr<TBitmap> Fitted;  // the filtered copy for the screen, when one was made
};

TPicturePreloader::TPicturePreloader() : TPicturePreloader(TOptions{}) {}

TPicturePreloader::TPicturePreloader(TOptions Options) : options_(std::move(Options)) {
  if (!options_.Decode) options_.Decode = &TPicturePreloader::DecodeGraphic;
  if (options_.Capacity < 1) options_.Capacity = 1;
  worker_ = std::thread([this] { Run(); });
}

TPicturePreloader::~TPicturePreloader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

const TGraphicClass* TPicturePreloader::AheadClass(const std::string& Path) {
  std::string ext = ExtractFileExt(Path);
  if (ext.empty()) return nullptr;
  const TGraphicClass* graphicClass = FileFormatRegistry().FindByExtension(ext.substr(1));
  if (graphicClass == nullptr) return nullptr;
  if (graphicClass->InheritsFrom(GraphicClassOf<TBitmap>()) ||
      graphicClass->InheritsFrom(GraphicClassOf<TJPEGImage>()))
    return graphicClass;
  return nullptr;
}

std::unique_ptr<TGraphic> TPicturePreloader::DecodeGraphic(const TGraphicClass* Class, TStream& Bytes) {
  std::unique_ptr<TGraphic> graphic = Class->Create();
  graphic->ReadFromStream(Bytes);
  // A JPEG picture keeps its compressed bytes until drawn; the pixels are what takes the time.
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic.get())) jpeg->DecodeBitmap();
  return graphic;
}

TPicturePreloader::EntryPtr TPicturePreloader::MakeEntry(const std::string& Path, bool Urgent) {
  if (Path.empty()) return nullptr;
  const TGraphicClass* graphicClass = AheadClass(Path);
  if (graphicClass == nullptr) return nullptr;
  const std::optional<std::string> native = ProgramToNativePath(Path);
  if (!native) return nullptr;
  const std::optional<TFileStamp> stamp = StampOfNativeFile(*native);
  if (!stamp) return nullptr;
  auto entry = std::make_shared<Entry>();
  entry->Native = *native;
  entry->Upper = UpperExtension(Path);
  entry->Class = graphicClass;
  entry->Stamp = *stamp;
  entry->Urgent = Urgent;
  return entry;
}

TPicturePreloader::EntryPtr TPicturePreloader::Match(const std::string& Upper,
                                                     const TFileStamp& Stamp) const {
  for (const EntryPtr& e : entries_)
    if (e->Upper == Upper && e->Stamp.SameFile(Stamp)) return e;
  return nullptr;
}

bool TPicturePreloader::Holds(const EntryPtr& E) const {
  return std::find(entries_.begin(), entries_.end(), E) != entries_.end();
}

void TPicturePreloader::Drop(const EntryPtr& E, std::vector<std::unique_ptr<TGraphic>>& Trash) {
  if (E->Graphic) Trash.push_back(std::move(E->Graphic));
  if (E->Fitted) Trash.push_back(std::move(E->Fitted));
}

void TPicturePreloader::Request(const std::string& Path) {
  EntryPtr entry = MakeEntry(Path, true);
  if (!entry) return;
  std::vector<std::unique_ptr<TGraphic>> trash;  // freed outside the lock
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (EntryPtr held = Match(entry->Upper, entry->Stamp)) {
      if (held->Stamp == entry->Stamp && held->Status != Entry::Failed) return;
      Drop(held, trash);
      entries_.erase(std::find(entries_.begin(), entries_.end(), held));
    }
    entries_.insert(entries_.begin(), entry);
    while (entries_.size() > options_.Capacity) {
      Drop(entries_.back(), trash);
      entries_.pop_back();
    }
  }
  wake_.notify_all();
}

void TPicturePreloader::Want(const std::string& Shown, const std::vector<std::string>& Neighbours,
                             TShownSizeFunction ShownSize) {
  // Resolve and stat everything before taking the lock: the worker never waits for the file system
  // on our account.
  struct Wish {
    EntryPtr Fresh;
    bool IsShown;
  };
  std::vector<Wish> wishes;
  if (EntryPtr shown = MakeEntry(Shown, false)) wishes.push_back({shown, true});
  for (const std::string& path : Neighbours) {
    if (EntryPtr e = MakeEntry(path, false)) wishes.push_back({e, false});
  }

  std::vector<std::unique_ptr<TGraphic>> trash;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<EntryPtr> next;
    // The picture on display takes a place whether held or not: the window holds it anyway.
    std::size_t places = 0;
    for (const Wish& wish : wishes) {
      const EntryPtr& fresh = wish.Fresh;
      if (std::any_of(next.begin(), next.end(), [&](const EntryPtr& e) {
            return e->Upper == fresh->Upper && e->Stamp.SameFile(fresh->Stamp);
          }))
        continue;
      if (places++ >= options_.Capacity) break;
      EntryPtr held = Match(fresh->Upper, fresh->Stamp);
      // A held picture of an older state of the file is of no use any more; a file that failed is
      // not tried again until it changes (the display step meets the failure itself).
      const bool current = held && (held->Status == Entry::Queued || held->Status == Entry::Decoding ||
                                    held->Stamp == fresh->Stamp);
      if (wish.IsShown) {
        // The picture on display is kept when held or nearly so, never queued for its own sake.
        if (current && (held->Status != Entry::Queued || held->Urgent)) next.push_back(held);
        continue;
      }
      next.push_back(current ? held : fresh);
    }
    for (const EntryPtr& e : entries_) {
      if (std::find(next.begin(), next.end(), e) == next.end()) Drop(e, trash);
    }
    entries_ = std::move(next);
    shown_size_ = std::move(ShownSize);
    last_want_ = std::chrono::steady_clock::now();
    if (!shown_once_) {
      shown_once_ = true;
      quiet_until_ = std::max(quiet_until_, last_want_ + options_.AfterRequest);
    }
  }
  wake_.notify_all();
}

TGraphic* TPicturePreloader::Find(const std::string& Path, TWait Wait) {
  if (Path.empty()) return nullptr;
  const std::optional<std::string> native = ProgramToNativePath(Path);
  if (!native) return nullptr;
  const std::optional<TFileStamp> stamp = StampOfNativeFile(*native);
  if (!stamp) return nullptr;
  const std::string upper = UpperExtension(Path);
  std::unique_lock<std::mutex> lock(mutex_);
  EntryPtr entry = Match(upper, *stamp);
  if (!entry) return nullptr;
  if (Wait == WaitAlways && (entry->Status == Entry::Queued || entry->Status == Entry::Decoding)) {
    entry->Urgent = true;  // no settling: it is wanted now
    wake_.notify_all();
    done_.wait(lock, [&] {
      return !Holds(entry) || stop_ || (entry->Status != Entry::Queued && entry->Status != Entry::Decoding);
    });
  }
  // A picture left out meanwhile is never Ready: its decode is thrown away.
  if (entry->Status != Entry::Ready || !(entry->Stamp == *stamp)) return nullptr;
  return entry->Graphic.get();
}

std::unique_ptr<TBitmap> TPicturePreloader::TakeFittedCopy(const TGraphic* Graphic) {
  if (Graphic == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const EntryPtr& e : entries_)
    if (e->Graphic.get() == Graphic) return std::move(e->Fitted);
  return nullptr;
}

std::size_t TPicturePreloader::HeldCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t count = 0;
  for (const EntryPtr& e : entries_)
    if (e->Graphic) ++count;
  if (decoding_) ++count;
  return count;
}

std::size_t TPicturePreloader::DecodeCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return decodes_;
}

void TPicturePreloader::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] {
    return !decoding_ && std::none_of(entries_.begin(), entries_.end(),
                                      [](const EntryPtr& e) { return e->Status == Entry::Queued; });
  });
}

TPicturePreloader::EntryPtr TPicturePreloader::NextJob(std::unique_lock<std::mutex>& Lock) {
  for (;;) {
    if (stop_) return nullptr;
    EntryPtr urgent;
    EntryPtr neighbour;
    for (const EntryPtr& e : entries_) {
      if (e->Status != Entry::Queued) continue;
      if (e->Urgent) {
        urgent = e;
        break;
      }
      if (!neighbour) neighbour = e;
    }
    if (urgent) return urgent;
    if (neighbour) {
      const auto due = std::max(last_want_ + options_.Settle, quiet_until_);
      if (std::chrono::steady_clock::now() >= due) return neighbour;
      wake_.wait_until(Lock, due);
      continue;
    }
    wake_.wait(Lock);
  }
}

void TPicturePreloader::Decode(const EntryPtr& E, const TShownSizeFunction& ShownSize) {
  std::unique_ptr<TGraphic> graphic;
  std::unique_ptr<TBitmap> fitted;
  std::optional<TFileStamp> stamp;
  try {
    // Never block on a FIFO or device: open without waiting and refuse anything not a regular file.
    const int fd = ::open(E->Native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      FileCloser closer{fd};
      struct stat before {};
      if (::fstat(fd, &before) == 0 && S_ISREG(before.st_mode)) {
        TDescriptorStream stream(fd, before.st_size);
        graphic = options_.Decode(E->Class, stream);
        // A file written to while it was read is not the file any stamp describes.
        struct stat after {};
        if (::fstat(fd, &after) == 0 && StampOf(after) == StampOf(before)) stamp = StampOf(before);
      }
    }
  } catch (...) {
    // The display step reads the file itself and meets the same failure there.
    graphic.reset();
  }
  if (graphic && stamp && ShownSize) {
    try {
      const TShownSize size = ShownSize(graphic->ImageWidth(), graphic->ImageHeight());
      fitted = TFittedCopy::Make(*graphic, size.Width, size.Height);
    } catch (...) {
      // Without the copy the display step filters the picture itself.
      fitted.reset();
    }
  }
  std::unique_ptr<TGraphic> unused;  // freed outside the lock
  std::unique_ptr<TBitmap> unusedCopy;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    decoding_.reset();
    // An entry left out while it was decoded is no longer held: its result is thrown away.
    if (!Holds(E) || !graphic || !stamp) {
      E->Status = Entry::Failed;
      unused = std::move(graphic);
      unusedCopy = std::move(fitted);
    } else {
      if (E->Urgent) quiet_until_ = std::chrono::steady_clock::now() + options_.AfterRequest;
      E->Stamp = *stamp;
      E->Graphic = std::move(graphic);
      E->Fitted = std::move(fitted);
      E->Status = Entry::Ready;
    }
  }
  done_.notify_all();
}

void TPicturePreloader::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    EntryPtr job = NextJob(lock);
    if (!job) break;
    job->Status = Entry::Decoding;
    decoding_ = job;
    ++decodes_;
    const bool urgent = job->Urgent;
    const TShownSizeFunction shownSize = shown_size_;
    lock.unlock();
    if (!urgent && options_.LowerPriority && !lowered_) {
      // Neighbours are decoded at a lower priority than the window's thread (this thread only),
      // relative to the process's own, so that the gap stays the same however the program runs.
      const auto self = static_cast<id_t>(syscall(SYS_gettid));
      errno = 0;
      const int nice = getpriority(PRIO_PROCESS, self);
      if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(nice + kLowerBy, 19));
      lowered_ = true;
    }
    Decode(job, shownSize);
    lock.lock();
  }
  lock.unlock();
  done_.notify_all();
}

}  // namespace lumivane
