#pragma once
// The animation timer: fires OnTimer every Interval milliseconds, either from a worker thread of
// its own (threaded mode, the default), which hands each tick to the main thread and waits for it
// (SyncEvent) or runs it itself, or from a hidden main-thread timer (message-based mode).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "framework/component.h"
#include "framework/thread.h"

namespace lumivane {

class TAnimationTimer;
class TTimerWindow;

// The timer message of the hidden window.
inline constexpr uint32_t WM_TIMER = 0x0113;

// The worker thread of a TAnimationTimer. It is created paused, sleeps for its Interval, then
// fires a tick of its owner. Pausing is a flag the thread obeys at once while it waits and at the
// end of a tick that is running; a wait that a pause interrupted keeps its deadline.
class TTimerThread : public TThread {
 public:
  // Use Create: the thread keeps itself alive through a shared reference until its body ends.
  static std::shared_ptr<TTimerThread> Create(TAnimationTimer* Owner);
  ~TTimerThread() override;

  // The period of the thread's waits; copied from the owner while the thread is paused.
  uint32_t Interval() const;
  void SetInterval(uint32_t Value);

  // The timer whose ticks the thread fires; null once the timer is gone.
  TAnimationTimer* Owner() const;
  void DetachOwner();

  // True while a tick is being fired (waited for, or run on the worker thread).
  bool Ticking() const;
  // Waits until no tick is running, serving main-thread calls meanwhile. Returns at once on the
  // worker thread itself and on the main thread while it runs one of this thread's calls (the
  // tick then cannot end before the caller returns).
  void WaitForTickEnd();
  // Waits until the body has ended (not on the worker thread itself).
  void WaitForEnd() { WaitFor(); }

  // The failure of the last unsynchronised tick, while it is being reported.
  std::exception_ptr PendingException;

 protected:
  void Execute() override;

 private:
  explicit TTimerThread(TAnimationTimer* Owner);
  // Waits until Deadline, staying put while paused. False when asked to terminate.
  bool WaitUntil(std::unique_lock<std::mutex>& Lock, std::chrono::steady_clock::time_point Deadline);
  bool TicksSuppressed() const;
  void FireTick(TAnimationTimer* Timer, bool Synchronised);
  void ReportException();

  TAnimationTimer* owner_;
  uint32_t interval_ = 1000;
  bool ticking_ = false;
};

class TAnimationTimer : public TComponent {
 public:
  explicit TAnimationTimer(TComponent* AOwner);
  ~TAnimationTimer() override;

  bool Enabled() const { return enabled_.load(); }
  void SetEnabled(bool Value);
  uint32_t Interval() const { return interval_.load(); }
  void SetInterval(uint32_t Value);
  // Threaded mode: run each tick on the main thread (the worker waits for it). Takes effect at the
  // next tick.
  bool SyncEvent() const { return sync_event_.load(); }
  void SetSyncEvent(bool Value) { sync_event_.store(Value); }
  bool Threaded() const { return threaded_; }
  void SetThreaded(bool Value);
  TThreadPriority ThreadPriority() const { return thread_priority_; }
  void SetThreadPriority(TThreadPriority Value);
  // The tick handler. Assigning one where none was, or clearing it, starts or stops the timer;
  // replacing one handler by another leaves the timer running undisturbed.
  TNotifyEvent OnTimer() const;
  void SetOnTimer(TNotifyEvent Value);

  // Fires OnTimer when Enabled is on, the timer is not being destroyed and a handler is assigned.
  virtual void DoTimer();
  // Runs Method on the main thread through the worker thread when that thread is running (the
  // caller waits for it); otherwise runs it at once on the calling thread.
  void RunSynchronized(const std::function<void()>& Method);

  // The hidden window's message handler: the timer message fires a tick (a failure goes to the
  // application's exception handling); every other message gets the default answer.
  intptr_t TimerWindowProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam);

  TTimerThread& TimerThread() const { return *timer_thread_; }
  // The hidden window of the message-based mode, or null while there is none.
  TTimerWindow* TimerWindow() const { return timer_window_.get(); }

  // Waits until a tick running on the worker thread has ended (see TTimerThread::WaitForTickEnd).
  // A control that owns the timer calls it before it frees what its ticks use.
  void WaitForTick();

 protected:
  // Stops both tick mechanisms, then starts the one the settings call for.
  void ApplySettings();

 private:
  void ApplyThreaded();
  void ApplyMessageBased();
  bool WantsTicks() const;
  void DestroyTimerWindow();

  std::atomic<bool> enabled_{true};
  std::atomic<uint32_t> interval_{1000};
  mutable std::mutex handler_mutex_;
  TNotifyEvent on_timer_;
  std::unique_ptr<TTimerWindow> timer_window_;
  std::atomic<bool> sync_event_{true};
  bool threaded_ = true;
  std::shared_ptr<TTimerThread> timer_thread_;
  TThreadPriority thread_priority_ = tpNormal;
  std::atomic<bool> being_destroyed_{false};
};

// The hidden window of the message-based mode: a main-thread timer whose ticks arrive as timer
// messages at the owner's TimerWindowProc.
class TTimerWindow {
 public:
  explicit TTimerWindow(TAnimationTimer& Owner);
  ~TTimerWindow();

  // Starts system timer Id with the period; false when the system refuses it.
  bool SetTimer(uintptr_t Id, uint32_t Interval);
  void KillTimer(uintptr_t Id);
  bool TimerActive() const;
  // Milliseconds until the next timer message, -1 when no timer runs.
  int RemainingTime() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumivane
