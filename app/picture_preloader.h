#pragma once
// Decodes the pictures the user is likely to ask for next on one worker thread, so that the display
// step finds them ready. It holds a few decoded pictures, each with the identity of the file it was
// read from (device, inode, size, modification time); a picture whose file has changed or vanished
// since is never handed out, so the display step reads that file again.
//
// Only bitmaps and JPEG pictures are decoded ahead; animated pictures keep their own timing.
// Everything but the decoding itself runs on the caller's (main) thread: paths are resolved, files
// stat'ed and held pictures dropped there, and a picture handed to the worker is never shared
// until the worker has let go of it.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lumivane {

class TBitmap;
class TGraphic;
class TGraphicClass;
class TStream;

// What tells one state of a file from another.
struct TFileStamp {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifiedNs = 0;

  bool operator==(const TFileStamp&) const = default;
  bool SameFile(const TFileStamp& Other) const { return Device == Other.Device && Inode == Other.Inode; }
};

// The stamp of a regular file at a native path; nothing for anything else or a missing file.
std::optional<TFileStamp> StampOfNativeFile(const std::string& NativePath);

class TPicturePreloader {
 public:
  // Turns a file's bytes into a decoded picture of the given class; raises on bad data.
  using TDecodeFunction =
      std::function<std::unique_ptr<TGraphic>(const TGraphicClass* Class, TStream& Bytes)>;

  struct TOptions {
    // Decoded pictures held, the one on display included.
    std::size_t Capacity = 3;
    // A neighbour is decoded only once the wishes have stayed the same this long, so that a
    // burst of keys does not decode the pictures it passes over.
    std::chrono::milliseconds Settle{60};
    // After a requested picture is decoded, and after the first picture is shown, neighbours wait
    // this long, so that their decoding does not compete with showing the window and its first
    // picture (one that is not decoded ahead, such as an animation, included).
    std::chrono::milliseconds AfterRequest{500};
    // The worker gives way to the window's thread once it decodes neighbours.
    bool LowerPriority = true;
    // Null: DecodeGraphic.
    TDecodeFunction Decode;
  };

  TPicturePreloader();
  explicit TPicturePreloader(TOptions Options);
  ~TPicturePreloader();
  TPicturePreloader(const TPicturePreloader&) = delete;
  TPicturePreloader& operator=(const TPicturePreloader&) = delete;

  // The size on screen of a picture of Width x Height; 0 x 0 when it is not drawn smaller.
  struct TShownSize {
    int Width = 0;
    int Height = 0;
  };
  using TShownSizeFunction = std::function<TShownSize(int Width, int Height)>;

  // Decodes this file at once, before any neighbour (the picture named on the command line, while
  // the window is being built). It is held until a later Want leaves it out.
  void Request(const std::string& Path);
  // What to hold from now on: the picture on display, kept when held but never decoded for its
  // own sake (the display step has it already), and its neighbours, most likely first. Everything
  // else is dropped; a decode under way for something else is thrown away when it ends.
  //
  // ShownSize, when given, tells the size a picture of a given size is drawn at on screen; the
  // worker then also makes the filtered copy the display draws from (see TFittedCopy), so that
  // showing a neighbour costs no filtering.
  void Want(const std::string& Shown, const std::vector<std::string>& Neighbours,
            TShownSizeFunction ShownSize = {});
  // Whether Find waits for a decode of the file that is not finished yet. A key never waits: the
  // worker runs at a lower priority, and in a burst the next key is already queued.
  enum TWait {
    WaitNever,
    WaitAlways,  // also for a queued one, which is then decoded at once (the command line's picture)
  };
  // The decoded picture of the file at Path, when one is held and the file still has the stamp it
  // was read with; null otherwise. The picture belongs to the preloader and stays valid until the
  // next Want.
  TGraphic* Find(const std::string& Path, TWait Wait);
  // The filtered copy made with a picture that Find handed out, handed over once; null when none
  // was made.
  std::unique_ptr<TBitmap> TakeFittedCopy(const TGraphic* Graphic);

  // Pictures held or being decoded right now (a decode being thrown away included).
  std::size_t HeldCount();
  // Decodes started so far.
  std::size_t DecodeCount();
  // Returns once nothing is queued or being decoded.
  void WaitIdle();

  // The class a file is decoded ahead with: the registered class of its extension when that is a
  // bitmap or a JPEG picture; null for anything else.
  static const TGraphicClass* AheadClass(const std::string& Path);
  // The default decoding: a new graphic of the class reads the bytes; JPEG pixels are decoded too.
  static std::unique_ptr<TGraphic> DecodeGraphic(const TGraphicClass* Class, TStream& Bytes);

 private:
  struct Entry;
  using EntryPtr = std::shared_ptr<Entry>;

  // A new queued entry for a program path; null when it is not a file decoded ahead.
  EntryPtr MakeEntry(const std::string& Path, bool Urgent);
  EntryPtr Match(const std::string& Upper, const TFileStamp& Stamp) const;
  // Whether E is still among the entries held or queued (the lock held). An entry leaves them
  // for good: one left out while being decoded is known by this alone.
  bool Holds(const EntryPtr& E) const;
  // Moves a held picture out to be freed outside the lock; the caller then removes the entry.
  void Drop(const EntryPtr& E, std::vector<std::unique_ptr<TGraphic>>& Trash);
  EntryPtr NextJob(std::unique_lock<std::mutex>& Lock);
  void Decode(const EntryPtr& E, const TShownSizeFunction& ShownSize);
  void Run();

  TOptions options_;
  std::mutex mutex_;
  std::condition_variable wake_;   // the worker waits here for work
  std::condition_variable done_;   // callers wait here for decodes to end
  std::vector<EntryPtr> entries_;  // held or queued, most wanted first
  EntryPtr decoding_;              // the entry the worker decodes now
  std::chrono::steady_clock::time_point last_want_{};
  bool shown_once_ = false;        // a picture has been shown
  TShownSizeFunction shown_size_;  // from the last Want
  // After a requested picture no neighbour is decoded for a while: the window is being shown.
  std::chrono::steady_clock::time_point quiet_until_{};
  std::size_t decodes_ = 0;
  bool stop_ = false;
  bool lowered_ = false;
  std::thread worker_;
};

}  // namespace lumivane
