#include "gif/animation_timer.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <climits>

#include "framework/application.h"
#include "framework/exception.h"

namespace lumivane {

namespace {

constexpr const char* SNoTimers = "Not enough timers available";
constexpr uintptr_t kTimerId = 1;
// How long a thread whose ticks are suppressed sleeps before it looks again.
constexpr auto kSuppressedPoll = std::chrono::milliseconds(20);

}  // namespace

// ---- the worker thread ----------------------------------------------------------------------

std::shared_ptr<TTimerThread> TTimerThread::Create(TAnimationTimer* Owner) {
  std::shared_ptr<TTimerThread> thread(new TTimerThread(Owner));
  thread->Start();
  return thread;
}

TTimerThread::TTimerThread(TAnimationTimer* Owner) : TThread(true), owner_(Owner) {}

TTimerThread::~TTimerThread() = default;

uint32_t TTimerThread::Interval() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return interval_;
}

void TTimerThread::SetInterval(uint32_t Value) {
  std::lock_guard<std::mutex> guard(Mutex);
  interval_ = Value;
}

TAnimationTimer* TTimerThread::Owner() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return owner_;
}

void TTimerThread::DetachOwner() {
  std::lock_guard<std::mutex> guard(Mutex);
  owner_ = nullptr;
}

bool TTimerThread::Ticking() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return ticking_;
}

void TTimerThread::WaitForTickEnd() {
  WaitForState([this] { return !ticking_; });
}

bool TTimerThread::TicksSuppressed() const {
  return TerminatedLocked() || owner_ == nullptr || Application->Terminated();
}

bool TTimerThread::WaitUntil(std::unique_lock<std::mutex>& Lock,
                             std::chrono::steady_clock::time_point Deadline) {
  for (;;) {
    if (TerminatedLocked()) return false;
    if (PausedLocked()) {
      Wake.wait(Lock);
      continue;
    }
    if (std::chrono::steady_clock::now() >= Deadline) return true;
    Wake.wait_until(Lock, Deadline);
  }
}

void TTimerThread::Execute() {
  std::unique_lock<std::mutex> lock(Mutex);
  while (!TerminatedLocked()) {
    if (PausedLocked()) {
      Wake.wait(lock);
      continue;
    }
    ApplyPriority();
    if (TicksSuppressed()) {
      Wake.wait_for(lock, kSuppressedPoll);
      continue;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval_);
    if (!WaitUntil(lock, deadline)) break;
    if (TicksSuppressed()) continue;
    TAnimationTimer* timer = owner_;
    if (!timer->Enabled()) continue;
    const bool synchronised = timer->SyncEvent();
    ticking_ = true;
    lock.unlock();
    FireTick(timer, synchronised);
    lock.lock();
    ticking_ = false;
    Wake.notify_all();
  }
}

void TTimerThread::FireTick(TAnimationTimer* Timer, bool Synchronised) {
  if (!Synchronised) {
    try {
      Timer->DoTimer();
    } catch (...) {
      PendingException = std::current_exception();
      ReportException();
      PendingException = nullptr;
    }
    return;
  }
  // On the main thread the timer is looked up again: it may have been stopped or destroyed
  // while the call waited there. A failing handler is reported there and the thread goes on.
  auto self = std::static_pointer_cast<TTimerThread>(shared_from_this());
  Synchronize([self] {
    TAnimationTimer* timer = nullptr;
    {
      std::lock_guard<std::mutex> guard(self->Mutex);
      if (self->PausedLocked() || self->TerminatedLocked()) return;
      timer = self->owner_;
    }
    if (timer == nullptr) return;
    try {
      timer->DoTimer();
    } catch (...) {
      Application->HandleException(self.get());
    }
  });
}

void TTimerThread::ReportException() {
  try {
    std::rethrow_exception(PendingException);
  } catch (const EAbort&) {
    return;
  } catch (const std::exception& error) {
    if (Application->OnException) {
      Application->OnException(this, error);
      return;
    }
  } catch (...) {
    if (Application->OnException) {
      Application->OnException(this, Exception("Unknown exception"));
      return;
    }
  }
  // The standard report is a dialog: it is shown from the main thread.
  std::exception_ptr error = PendingException;
  Application->QueueOnMainThread([error] { std::rethrow_exception(error); });
}

// ---- the hidden window ----------------------------------------------------------------------

struct TTimerWindow::Impl {
  QTimer timer;
};

TTimerWindow::TTimerWindow(TAnimationTimer& Owner) : impl_(std::make_unique<Impl>()) {
  QObject::connect(&impl_->timer, &QTimer::timeout,
                   [&Owner] { Owner.TimerWindowProc(WM_TIMER, kTimerId, 0); });
}

TTimerWindow::~TTimerWindow() = default;

bool TTimerWindow::SetTimer(uintptr_t, uint32_t Interval) {
  // The event loop's timers reach about 24.8 days; longer periods tick at that range.
  impl_->timer.start(static_cast<int>(std::min<uint32_t>(Interval, INT_MAX)));
  return impl_->timer.isActive();
}

void TTimerWindow::KillTimer(uintptr_t) { impl_->timer.stop(); }

bool TTimerWindow::TimerActive() const { return impl_->timer.isActive(); }

int TTimerWindow::RemainingTime() const { return impl_->timer.remainingTime(); }

// ---- the timer ------------------------------------------------------------------------------

TAnimationTimer::TAnimationTimer(TComponent* AOwner)
    : TComponent(AOwner), timer_thread_(TTimerThread::Create(this)) {}

TAnimationTimer::~TAnimationTimer() {
  being_destroyed_.store(true);
  BeginDestruction();
  enabled_.store(false);
  {
    std::lock_guard<std::mutex> guard(handler_mutex_);
    on_timer_ = nullptr;
  }
  TTimerThread& thread = *timer_thread_;
  thread.Terminate();
  // A tick under way may still use this timer; once it has ended none can reach it.
  thread.WaitForTickEnd();
  thread.DetachOwner();
  thread.Resume();
  thread.WaitForEnd();
  DestroyTimerWindow();
}

void TAnimationTimer::SetEnabled(bool Value) {
  if (Value == enabled_.load()) return;
  enabled_.store(Value);
  ApplySettings();
}

void TAnimationTimer::SetInterval(uint32_t Value) {
  if (Value == interval_.load()) return;
  interval_.store(Value);
  ApplySettings();
}

void TAnimationTimer::SetThreaded(bool Value) {
  if (Value == threaded_) return;
  threaded_ = Value;
  ApplySettings();
}

void TAnimationTimer::SetThreadPriority(TThreadPriority Value) {
  if (Value == thread_priority_) return;
  thread_priority_ = Value;
  if (threaded_) ApplySettings();
}

TNotifyEvent TAnimationTimer::OnTimer() const {
  std::lock_guard<std::mutex> guard(handler_mutex_);
  return on_timer_;
}

void TAnimationTimer::SetOnTimer(TNotifyEvent Value) {
  bool wasAssigned = false;
  {
    std::lock_guard<std::mutex> guard(handler_mutex_);
    wasAssigned = static_cast<bool>(on_timer_);
    on_timer_ = std::move(Value);
    if (wasAssigned == static_cast<bool>(on_timer_)) return;
  }
  ApplySettings();
}

void TAnimationTimer::DoTimer() {
  if (!enabled_.load() || being_destroyed_.load()) return;
  // A copy: the handler may clear or replace itself, or destroy the timer.
  TNotifyEvent handler = OnTimer();
  if (handler) handler(this);
}

void TAnimationTimer::RunSynchronized(const std::function<void()>& Method) {
  TTimerThread& thread = *timer_thread_;
  if (!thread.Suspended() && !thread.Terminated()) {
    thread.Synchronize(Method);
  } else {
    Method();
  }
}

intptr_t TAnimationTimer::TimerWindowProc(uint32_t Msg, uintptr_t, intptr_t) {
  if (Msg != WM_TIMER) return 0;  // the default answer to every other message
  try {
    DoTimer();
  } catch (...) {
    Application->HandleException(this);
  }
  return 0;
}

void TAnimationTimer::WaitForTick() { timer_thread_->WaitForTickEnd(); }

bool TAnimationTimer::WantsTicks() const {
  if (interval_.load() == 0 || !enabled_.load()) return false;
  std::lock_guard<std::mutex> guard(handler_mutex_);
  return static_cast<bool>(on_timer_);
}

void TAnimationTimer::ApplySettings() {
  if (threaded_) {
    ApplyThreaded();
  } else {
    ApplyMessageBased();
  }
}

void TAnimationTimer::ApplyThreaded() {
  DestroyTimerWindow();
  TTimerThread& thread = *timer_thread_;
  if (!thread.Suspended()) thread.Suspend();
  thread.SetInterval(interval_.load());
  if (WantsTicks()) {
    thread.SetPriority(thread_priority_);
    while (thread.Suspended()) thread.Resume();
  }
}

void TAnimationTimer::ApplyMessageBased() {
  TTimerThread& thread = *timer_thread_;
  if (!thread.Suspended()) thread.Suspend();
  if (timer_window_ == nullptr) {
    timer_window_ = std::make_unique<TTimerWindow>(*this);
  } else {
    timer_window_->KillTimer(kTimerId);
  }
  if (WantsTicks() && !timer_window_->SetTimer(kTimerId, interval_.load())) {
    throw EOutOfResources(SNoTimers);
  }
}

void TAnimationTimer::DestroyTimerWindow() {
  if (timer_window_ == nullptr) return;
  timer_window_->KillTimer(kTimerId);
  timer_window_.reset();
}

}  // namespace lumivane
