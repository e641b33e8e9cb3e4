// Worker threads, the one main-thread call queue, the error report's guard against nested boxes,
// and termination signals.
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <csignal>
#include <memory>
#include <mutex>
#include <thread>

#include "framework/application.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/scripted_dialog_service.h"
#include "framework/thread.h"

namespace lumivane {
namespace {

// A thread whose body runs a given function.
class TFunctionThread : public TThread {
 public:
  static std::shared_ptr<TFunctionThread> Run(std::function<void(TFunctionThread&)> body) {
    std::shared_ptr<TFunctionThread> thread(new TFunctionThread(std::move(body)));
    thread->Start();
    return thread;
  }

 protected:
  void Execute() override { body_(*this); }

 private:
  explicit TFunctionThread(std::function<void(TFunctionThread&)> body)
      : TThread(false), body_(std::move(body)) {}
  std::function<void(TFunctionThread&)> body_;
};

TEST(Thread, SynchronizeRunsOnTheMainThreadAndCarriesExceptionsBack) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> errorCameBack{false};
  auto thread = TFunctionThread::Run([&](TFunctionThread& self) {
    self.Synchronize([&] { ranOnMain = Application->IsMainThread(); });
    try {
      self.Synchronize([] { throw EInvalidOperation("on the main thread"); });
    } catch (const EInvalidOperation& e) {
      errorCameBack = std::string(e.what()) == "on the main thread";
    }
  });
  thread->WaitFor();
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(errorCameBack);
  EXPECT_FALSE(thread->IsWorkerThread());
}

// A worker that holds a lock and then waits for the main thread, while the main thread waits
// for that lock: the main thread's wait serves the worker's call, so both go on.
TEST(Thread, MainThreadWaitingForALockServesTheWorkerThatHoldsIt) {
  std::recursive_mutex lock;
  std::atomic<bool> locked{false};
  std::atomic<bool> served{false};
  auto thread = TFunctionThread::Run([&](TFunctionThread&) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    locked = true;
    // Through the application, as code that is not a TThread calls the main thread.
    Application->RunOnMainThread([&] { served = true; });
  });
  TThread::WaitServingMainThread([&] { return locked.load(); });
  TThread::WaitServingMainThread([&] { return lock.try_lock(); });
  lock.unlock();
  EXPECT_TRUE(served);
  thread->WaitFor();
}

TEST(Thread, TerminateAndPauseAreFlagsTheBodyObeys) {
  std::atomic<int> rounds{0};
  auto thread = TFunctionThread::Run([&](TFunctionThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      std::this_thread::yield();
    }
  });
  TThread::WaitServingMainThread([&] { return rounds.load() > 0; });
  EXPECT_FALSE(thread->Suspended());
  thread->Suspend();
  EXPECT_TRUE(thread->Suspended());
  thread->Resume();
  thread->Terminate();
  EXPECT_TRUE(thread->Terminated());
  thread->WaitFor();
}

TEST(Thread, SynchronizeOnTheMainThreadRunsAtOnce) {
  bool ran = false;
  TThread::Synchronize(nullptr, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(TThread::CheckSynchronize()) << "nothing was queued";
}

// A dialog service whose box raises another error while it is open, as a timer ticking behind
// an open box would.
class TNestingDialogs : public TScriptedDialogService {
 public:
  void MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) override {
    TScriptedDialogService::MessageBox(Caption, Text, Icon);
    if (Shown().size() < 5) Application->ShowException(Exception("behind the box"));
  }
};

TEST(ErrorReportGuard, NoBoxOpensWhileAnotherIsOpenAndLaterOnesShowAgain) {
  TNestingDialogs dialogs;
  TDialogService* previous = Application->SetDialogService(&dialogs);
  Application->ShowException(Exception("first"));
  ASSERT_EQ(1u, dialogs.Shown().size());
  EXPECT_EQ("first.", dialogs.Shown()[0].Text);
  Application->ShowException(Exception("second"));
  EXPECT_EQ(2u, dialogs.Shown().size()) << "the guard ends with the box";
  Application->SetDialogService(previous);
}

// Runs in a child process: a close ends the application for good.
TEST(TerminationSignals, ASignalClosesTheMainFormThroughTheEventLoop) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto closeBySignal = [] {
    TForm* form = nullptr;
    Application->CreateForm(form);
    int closeQueries = 0;
    form->OnCloseQuery = [&](TObject*, bool& CanClose) {
      ++closeQueries;
      CanClose = true;
    };
    Application->HandleTerminationSignals();
    std::raise(SIGTERM);
    // Nothing happens inside the handler; the loop does the closing and then ends.
    const bool untouched = closeQueries == 0;
    Application->Run();
    std::exit(untouched && closeQueries == 1 && Application->MainForm() == nullptr ? 0 : 3);
  };
  EXPECT_EXIT(closeBySignal(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lumivane
