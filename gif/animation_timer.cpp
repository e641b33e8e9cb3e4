#include "gif/animation_timer.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <climits>
#include <deque>

#include "framework/application.h"
#include "framework/exception.h"

namespace lumivane {

namespace {

constexpr const char* SNoTimers = "Not enough timers available";
constexpr uintptr_t kTimerId = 1;
// How long a thread whose ticks are suppressed sleeps before it looks again.
constexpr auto kSuppressedPoll = std::chrono::milliseconds(20);
// How long a main-thread wait sleeps at most before it looks for new calls to serve.
constexpr auto kServePoll = std::chrono::milliseconds(5);

// A call a worker thread waits to have run on the main thread.
struct TMainThreadCall {
  std::function<void()> Method;
  std::shared_ptr<TTimerThread> Thread;
  bool Done = false;
  std::exception_ptr Error;
};

// The calls waiting for the main thread, in the order they were made. Never destroyed, so that
// a worker still running while the process ends finds it intact.
struct TCallQueue {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<std::shared_ptr<TMainThreadCall>> Calls;
};

TCallQueue& MainThreadCalls() {
  static auto* queue = new TCallQueue;
  return *queue;
}

// Nice values standing for the thread priorities, idle to time-critical.
constexpr int kNiceFor[] = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

// ---- calls onto the main thread ---------------------------------------------------------------

void ServeMainThreadCalls() {
  TCallQueue& queue = MainThreadCalls();
  for (;;) {
    std::shared_ptr<TMainThreadCall> call;
    {
      std::lock_guard<std::mutex> guard(queue.Mutex);
      if (queue.Calls.empty()) return;
      call = std::move(queue.Calls.front());
      queue.Calls.pop_front();
    }
    TTimerThread& thread = *call->Thread;
    {
      std::lock_guard<std::mutex> guard(thread.mutex_);
      thread.serving_ = true;
    }
    try {
      call->Method();
    } catch (...) {
      call->Error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> guard(thread.mutex_);
      thread.serving_ = false;
    }
    {
      std::lock_guard<std::mutex> guard(queue.Mutex);
      call->Done = true;
    }
    queue.Changed.notify_all();
  }
}

void WaitServingMainThreadCalls(const std::function<bool()>& Ready) {
  TCallQueue& queue = MainThreadCalls();
  const bool mainThread = Application->IsMainThread();
  for (;;) {
    if (mainThread) ServeMainThreadCalls();
    if (Ready()) return;
    std::unique_lock<std::mutex> lock(queue.Mutex);
    queue.Changed.wait_for(lock, kServePoll, [&] { return mainThread && !queue.Calls.empty(); });
  }
}

// ---- the worker thread ----------------------------------------------------------------------

std::shared_ptr<TTimerThread> TTimerThread::Create(TAnimationTimer* Owner) {
  std::shared_ptr<TTimerThread> thread(new TTimerThread(Owner));
  thread->Start();
  return thread;
}

TTimerThread::TTimerThread(TAnimationTimer* Owner) : owner_(Owner) {}

TTimerThread::~TTimerThread() = default;

void TTimerThread::Start() {
  std::lock_guard<std::mutex> guard(mutex_);
  // The body holds its own reference, so the object outlives the timer when it must.
  std::thread worker([self = shared_from_this()] { self->Execute(); });
  worker_id_ = worker.get_id();
  worker.detach();
}

bool TTimerThread::Suspended() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return paused_;
}

void TTimerThread::Suspend() {
  std::lock_guard<std::mutex> guard(mutex_);
  paused_ = true;
  wake_.notify_all();
}

void TTimerThread::Resume() {
  std::lock_guard<std::mutex> guard(mutex_);
  paused_ = false;
  wake_.notify_all();
}

void TTimerThread::Terminate() {
  std::lock_guard<std::mutex> guard(mutex_);
  terminated_ = true;
  wake_.notify_all();
}

bool TTimerThread::Terminated() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return terminated_;
}

TThreadPriority TTimerThread::Priority() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return priority_;
}

void TTimerThread::SetPriority(TThreadPriority Value) {
  std::lock_guard<std::mutex> guard(mutex_);
  priority_ = Value;
}

uint32_t TTimerThread::Interval() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return interval_;
}

void TTimerThread::SetInterval(uint32_t Value) {
  std::lock_guard<std::mutex> guard(mutex_);
  interval_ = Value;
}

TAnimationTimer* TTimerThread::Owner() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return owner_;
}

void TTimerThread::DetachOwner() {
  std::lock_guard<std::mutex> guard(mutex_);
  owner_ = nullptr;
}

bool TTimerThread::IsWorkerThread() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return std::this_thread::get_id() == worker_id_;
}

bool TTimerThread::Ticking() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return ticking_;
}

void TTimerThread::Synchronize(const std::function<void()>& Method) {
  if (Application->IsMainThread() || QCoreApplication::instance() == nullptr) {
    Method();
    return;
  }
  auto call = std::make_shared<TMainThreadCall>();
  call->Method = Method;
  call->Thread = shared_from_this();
  TCallQueue& queue = MainThreadCalls();
  {
    std::lock_guard<std::mutex> guard(queue.Mutex);
    queue.Calls.push_back(call);
  }
  queue.Changed.notify_all();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { ServeMainThreadCalls(); }, Qt::QueuedConnection);
  {
    std::unique_lock<std::mutex> lock(queue.Mutex);
    queue.Changed.wait(lock, [&] { return call->Done; });
  }
  if (call->Error) std::rethrow_exception(call->Error);
}

void TTimerThread::WaitForTickEnd() {
  if (IsWorkerThread()) return;
  WaitServingMainThreadCalls([this] {
    std::lock_guard<std::mutex> guard(mutex_);
    return !ticking_ || serving_;
  });
}

void TTimerThread::WaitForEnd() {
  if (IsWorkerThread()) return;
  WaitServingMainThreadCalls([this] {
    std::lock_guard<std::mutex> guard(mutex_);
    return finished_ || serving_;
  });
}

bool TTimerThread::TicksSuppressed() const {
  return terminated_ || owner_ == nullptr || Application->Terminated();
}

void TTimerThread::ApplyPriority() {
  if (priority_ == applied_priority_) return;
  applied_priority_ = priority_;
  // Raising a priority needs privileges the process may lack; the thread then keeps its own.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceFor[priority_]);
}

bool TTimerThread::WaitUntil(std::unique_lock<std::mutex>& Lock,
                             std::chrono::steady_clock::time_point Deadline) {
  for (;;) {
    if (terminated_) return false;
    if (paused_) {
      wake_.wait(Lock);
      continue;
    }
    if (std::chrono::steady_clock::now() >= Deadline) return true;
    wake_.wait_until(Lock, Deadline);
  }
}

void TTimerThread::Execute() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!terminated_) {
    if (paused_) {
      wake_.wait(lock);
      continue;
    }
    ApplyPriority();
    if (TicksSuppressed()) {
      wake_.wait_for(lock, kSuppressedPoll);
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
    wake_.notify_all();
  }
  finished_ = true;
  wake_.notify_all();
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
  auto self = shared_from_this();
  Synchronize([self] {
    TAnimationTimer* timer = nullptr;
    {
      std::lock_guard<std::mutex> guard(self->mutex_);
      if (self->paused_ || self->terminated_) return;
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
