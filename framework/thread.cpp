#include "framework/thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <deque>
#include <exception>

#include "framework/application.h"

namespace lumivane {

namespace {

// How long a wait sleeps at most before it asks its condition again. New calls for the main
// thread wake it at once; only conditions nobody signals (a lock coming free) are polled.
constexpr auto kConditionPoll = std::chrono::milliseconds(5);

// Nice values standing for the thread priorities, idle to time-critical.
constexpr int kNiceFor[] = {19, 10, 5, 0, -5, -10, -20};

// A call a thread waits to have run on the main thread.
struct TMainThreadCall {
  std::function<void()> Method;
  std::shared_ptr<TThread> Thread;  // null for callers that are not a TThread
  bool Done = false;
  std::exception_ptr Error;
};

}  // namespace

// The calls waiting for the main thread, in the order they were made. Never destroyed, so that a
// worker still running while the process ends finds it intact.
struct TMainThreadCalls {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<std::shared_ptr<TMainThreadCall>> Calls;

  static TMainThreadCalls& Instance() {
    static auto* queue = new TMainThreadCalls;
    return *queue;
  }

  static void SetServing(TThread* Thread, bool Value) {
    if (Thread == nullptr) return;
    std::lock_guard<std::mutex> guard(Thread->Mutex);
    Thread->serving_ = Value;
  }
};

// ---- the main-thread calls ------------------------------------------------------------------

bool TThread::CheckSynchronize() {
  if (!Application->IsMainThread()) return false;
  TMainThreadCalls& queue = TMainThreadCalls::Instance();
  bool ranAny = false;
  for (;;) {
    std::shared_ptr<TMainThreadCall> call;
    {
      std::lock_guard<std::mutex> guard(queue.Mutex);
      if (queue.Calls.empty()) return ranAny;
      call = std::move(queue.Calls.front());
      queue.Calls.pop_front();
    }
    ranAny = true;
    TMainThreadCalls::SetServing(call->Thread.get(), true);
    try {
      call->Method();
    } catch (...) {
      call->Error = std::current_exception();
    }
    TMainThreadCalls::SetServing(call->Thread.get(), false);
    {
      std::lock_guard<std::mutex> guard(queue.Mutex);
      call->Done = true;
      // From here the waiting thread owns the call and its error; dropping this reference under
      // the lock orders everything done with them here before the waiter goes on.
      call.reset();
    }
    queue.Changed.notify_all();
  }
}

void TThread::WaitServingMainThread(const std::function<bool()>& Ready) {
  TMainThreadCalls& queue = TMainThreadCalls::Instance();
  const bool mainThread = Application->IsMainThread();
  for (;;) {
    if (mainThread) CheckSynchronize();
    if (Ready()) return;
    std::unique_lock<std::mutex> lock(queue.Mutex);
    queue.Changed.wait_for(lock, kConditionPoll, [&] { return mainThread && !queue.Calls.empty(); });
  }
}

void TThread::Synchronize(const std::function<void()>& Method) { Synchronize(this, Method); }

void TThread::Synchronize(TThread* Thread, const std::function<void()>& Method) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || Application->IsMainThread()) {
    Method();
    return;
  }
  auto call = std::make_shared<TMainThreadCall>();
  call->Method = Method;
  if (Thread != nullptr) call->Thread = Thread->shared_from_this();
  TMainThreadCalls& queue = TMainThreadCalls::Instance();
  {
    std::lock_guard<std::mutex> guard(queue.Mutex);
    queue.Calls.push_back(call);
  }
  // Wakes a main thread that waits in WaitServingMainThread, and the event loop otherwise.
  queue.Changed.notify_all();
  QMetaObject::invokeMethod(
      app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  {
    std::unique_lock<std::mutex> lock(queue.Mutex);
    queue.Changed.wait(lock, [&] { return call->Done; });
  }
  if (call->Error) std::rethrow_exception(call->Error);
}

// ---- the thread -----------------------------------------------------------------------------

TThread::TThread(bool CreateSuspended) : paused_(CreateSuspended) {}

TThread::~TThread() = default;

void TThread::Start() {
  std::lock_guard<std::mutex> guard(Mutex);
  if (started_) return;
  started_ = true;
  std::thread worker([self = shared_from_this()] { self->Run(); });
  worker_id_ = worker.get_id();
  worker.detach();
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    // A body that fails ends the thread; there is nobody to tell on this thread.
  }
  {
    std::lock_guard<std::mutex> guard(Mutex);
    finished_ = true;
  }
  Wake.notify_all();
}

bool TThread::Suspended() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return paused_;
}

void TThread::Suspend() {
  std::lock_guard<std::mutex> guard(Mutex);
  paused_ = true;
  Wake.notify_all();
}

void TThread::Resume() {
  std::lock_guard<std::mutex> guard(Mutex);
  paused_ = false;
  Wake.notify_all();
}

void TThread::Terminate() {
  std::lock_guard<std::mutex> guard(Mutex);
  terminated_ = true;
  Wake.notify_all();
}

bool TThread::Terminated() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return terminated_;
}

TThreadPriority TThread::Priority() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return priority_;
}

void TThread::SetPriority(TThreadPriority Value) {
  std::lock_guard<std::mutex> guard(Mutex);
  priority_ = Value;
}

bool TThread::IsWorkerThread() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return std::this_thread::get_id() == worker_id_;
}

bool TThread::Serving() const {
  std::lock_guard<std::mutex> guard(Mutex);
  return serving_;
}

void TThread::WaitForState(const std::function<bool()>& DoneLocked) {
  if (IsWorkerThread()) return;
  WaitServingMainThread([&] {
    std::lock_guard<std::mutex> guard(Mutex);
    return serving_ || DoneLocked();
  });
}

void TThread::WaitFor() {
  WaitForState([this] { return finished_ || !started_; });
}

void TThread::ApplyPriority() {
  if (priority_ == applied_priority_) return;
  applied_priority_ = priority_;
  // Raising a priority needs privileges the process may lack; the thread then keeps its own.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceFor[priority_]);
}

}  // namespace lumivane
