#pragma once
// A worker thread of the program's own, and the one queue of calls that worker threads wait to
// have run on the main thread.
//
// The queue is served by the main thread's event loop and by every wait of the main thread that
// goes through WaitServingMainThread (lock waits, waits for a thread's end). A worker that holds a
// lock the main thread wants and then calls the main thread therefore never deadlocks it: the
// main thread runs the worker's call while it waits for the lock.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "framework/object.h"

namespace lumivane {

// Thread priorities, lowest first; each stands for the platform priority of the same rank.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject, public std::enable_shared_from_this<TThread> {
 public:
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the body once. The body holds a shared reference to the object until it ends, so the
  // thread deletes itself when nobody else keeps it; nobody has to wait for it.
  void Start();

  // Pausing is a flag the body obeys where it waits (see WaitWhilePaused, WaitUntil).
  bool Suspended() const;
  void Suspend();
  void Resume();
  // Asks the body to end; it is not waited for here.
  void Terminate();
  bool Terminated() const;
  // The priority given to the thread; the body applies it with ApplyPriority.
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority Value);

  // True on the thread's own worker thread.
  bool IsWorkerThread() const;
  // True while the main thread runs a call this thread waits for.
  bool Serving() const;
  // Waits until the body has ended, serving main-thread calls meanwhile. Returns at once on the
  // worker thread itself and on the main thread while it runs one of this thread's calls.
  void WaitFor();

  // Runs Method on the main thread and waits until it has run; an exception it raised is raised
  // again here. On the main thread, or without a main-thread event loop, Method runs at once.
  void Synchronize(const std::function<void()>& Method);
  // The same for a caller that is not a TThread (Thread may be null).
  static void Synchronize(TThread* Thread, const std::function<void()>& Method);

  // Runs the calls waiting for the main thread, oldest first. Only the main thread serves them;
  // elsewhere it does nothing. True when it ran any.
  static bool CheckSynchronize();
  // Waits until Ready() holds. On the main thread the waiting calls are served meanwhile; on
  // any other thread it simply waits.
  static void WaitServingMainThread(const std::function<bool()>& Ready);

 protected:
  // A thread created suspended starts paused: its body runs, and obeys the pause where it waits.
  explicit TThread(bool CreateSuspended);
  // The body. It should look at Terminated (or TerminatedLocked) regularly.
  virtual void Execute() = 0;

  // The thread's own lock and wake-up, which guard the flags below; a body may wait on them.
  mutable std::mutex Mutex;
  std::condition_variable Wake;
  // With Mutex held.
  bool TerminatedLocked() const { return terminated_; }
  bool PausedLocked() const { return paused_; }
  // With Mutex held, on the worker thread: gives the thread the priority asked for, if changed.
  void ApplyPriority();
  // Waits until DoneLocked() (asked with Mutex held) holds, serving main-thread calls meanwhile.
  // Returns at once on the worker thread itself, and on the main thread while it runs one of this
  // thread's calls: the worker cannot get on before that call returns.
  void WaitForState(const std::function<bool()>& DoneLocked);

 private:
  void Run();

  bool paused_ = false;
  bool terminated_ = false;
  bool finished_ = false;
  bool serving_ = false;
  bool started_ = false;
  TThreadPriority priority_ = tpNormal;
  TThreadPriority applied_priority_ = tpNormal;
  std::thread::id worker_id_;

  friend struct TMainThreadCalls;
};

}  // namespace lumivane
