// The animation timer: its two modes, how its settings start and stop it, failures in its
// handler, and destruction while it ticks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/application.h"
#include "framework/exception.h"
#include "gif/animation_timer.h"
#include "tests/gif_animator/gif_bytes.h"

namespace lumivane {
namespace {

using std::chrono::milliseconds;
using test::PumpFor;
using test::PumpUntil;

// Counts ticks, and those that did not run on the main thread.
struct TickLog {
  std::atomic<int> Count{0};
  std::atomic<int> OffMain{0};
  TNotifyEvent Handler() {
    return [this](TObject*) {
      OffMain += Application->IsMainThread() ? 0 : 1;
      ++Count;
    };
  }
};

// Records what reaches the application's exception handler while it lives.
struct ReportLog {
  ReportLog() {
    Application->OnException = [this](TObject* Sender, const std::exception& E) {
      std::lock_guard<std::mutex> guard(Mutex);
      Reports.emplace_back(Sender, E.what());
    };
  }
  ~ReportLog() { Application->OnException = nullptr; }
  size_t Size() {
    std::lock_guard<std::mutex> guard(Mutex);
    return Reports.size();
  }
  std::mutex Mutex;
  std::vector<std::pair<TObject*, std::string>> Reports;
};

TEST(AnimationTimer, IntervalZeroStopsTheTicksAndANonZeroOneRestartsThem) {
  TAnimationTimer timer(nullptr);
  TickLog log;
  EXPECT_TRUE(timer.TimerThread().Suspended()) << "no handler, no ticks";
  timer.SetInterval(15);
  timer.SetOnTimer(log.Handler());
  ASSERT_TRUE(PumpUntil([&] { return log.Count >= 2; }));
  EXPECT_EQ(0, log.OffMain.load()) << "synchronised ticks run on the main thread";

  timer.SetInterval(0);
  EXPECT_TRUE(timer.TimerThread().Suspended());
  PumpFor(20);
  const int stopped = log.Count;
  PumpFor(100);
  EXPECT_EQ(stopped, log.Count.load());
  timer.SetInterval(15);
  EXPECT_TRUE(PumpUntil([&] { return log.Count >= stopped + 2; }));
}

TEST(AnimationTimer, WritingTheCurrentIntervalAgainKeepsTheWaitInProgress) {
  TAnimationTimer timer(nullptr);
  TickLog log;
  timer.SetInterval(600);
  const auto start = std::chrono::steady_clock::now();
  timer.SetOnTimer(log.Handler());
  std::this_thread::sleep_for(milliseconds(300));
  timer.SetInterval(600);
  ASSERT_TRUE(PumpUntil([&] { return log.Count >= 1; }));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, milliseconds(850)) << "a restarted wait would end after 900 ms";
}

TEST(AnimationTimer, OnlyAssigningOrClearingTheHandlerStartsOrStopsTheTimer) {
  TAnimationTimer timer(nullptr);
  timer.SetThreaded(false);  // the hidden window's timer tells how much of the wait is left
  ASSERT_NE(nullptr, timer.TimerWindow());
  EXPECT_FALSE(timer.TimerWindow()->TimerActive());
  TickLog first, second;
  timer.SetOnTimer(first.Handler());
  ASSERT_TRUE(timer.TimerWindow()->TimerActive()) << "started with the default 1000 ms";
  std::this_thread::sleep_for(milliseconds(300));
  timer.SetOnTimer(second.Handler());
  EXPECT_LE(timer.TimerWindow()->RemainingTime(), 750) << "replacing the handler restarted it";
  timer.SetOnTimer(nullptr);
  EXPECT_FALSE(timer.TimerWindow()->TimerActive());
  EXPECT_TRUE(timer.TimerThread().Suspended());
}

TEST(AnimationTimer, SwitchingModesHandsTheTicksOverAndKeepsThePriorityForLater) {
  TAnimationTimer timer(nullptr);
  TickLog log;
  timer.SetInterval(15);
  timer.SetOnTimer(log.Handler());
  timer.SetThreaded(false);
  EXPECT_TRUE(timer.TimerThread().Suspended());
  ASSERT_TRUE(timer.TimerWindow() != nullptr && timer.TimerWindow()->TimerActive());
  ASSERT_TRUE(PumpUntil([&] { return log.Count >= 2; }));

  timer.SetThreadPriority(tpLower);
  EXPECT_EQ(tpNormal, timer.TimerThread().Priority()) << "stored only, while message-based";
  timer.SetThreaded(true);
  EXPECT_EQ(nullptr, timer.TimerWindow());
  EXPECT_FALSE(timer.TimerThread().Suspended());
  EXPECT_EQ(tpLower, timer.TimerThread().Priority());
  const int threaded = log.Count;
  EXPECT_TRUE(PumpUntil([&] { return log.Count >= threaded + 2; }));
}

TEST(AnimationTimer, DestroyingATickingTimerFiresNoFurtherTicks) {
  {  // unsynchronised: a tick may be running on the worker while the timer goes
    std::atomic<int> ticks{0};
    auto timer = std::make_unique<TAnimationTimer>(nullptr);
    timer->SetSyncEvent(false);
    timer->SetInterval(2);
    timer->SetOnTimer([&](TObject*) {
      std::this_thread::sleep_for(milliseconds(3));
      ++ticks;
    });
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
    timer.reset();
    const int atDestruction = ticks;
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(atDestruction, ticks.load());
  }
  {  // synchronised: a tick waits for the main thread while the timer is destroyed
    TickLog log;
    auto timer = std::make_unique<TAnimationTimer>(nullptr);
    timer->SetInterval(5);
    timer->SetOnTimer(log.Handler());
    std::this_thread::sleep_for(milliseconds(40));  // no events are run meanwhile
    timer.reset();
    PumpFor(60);
    EXPECT_EQ(0, log.Count.load());
  }
}

TEST(AnimationTimer, UnsynchronisedTicksReportFailuresButNoSilentAbortAndGoOn) {
  ReportLog reports;
  TAnimationTimer timer(nullptr);
  std::atomic<int> ticks{0};
  std::atomic<bool> callOnMain{false};
  timer.SetSyncEvent(false);
  timer.SetInterval(5);
  timer.SetOnTimer([&](TObject*) {
    timer.RunSynchronized([&] { callOnMain = Application->IsMainThread(); });
    if (++ticks % 2 == 1) throw EAbort("quiet");
    throw EInvalidOperation("tick failed");
  });
  ASSERT_TRUE(PumpUntil([&] { return reports.Size() >= 2 && ticks >= 5; }));
  timer.SetOnTimer(nullptr);
  EXPECT_TRUE(callOnMain.load()) << "RunSynchronized from the worker runs on the main thread";
  std::lock_guard<std::mutex> guard(reports.Mutex);
  for (const auto& [sender, message] : reports.Reports) {
    EXPECT_EQ("tick failed", message);
    EXPECT_EQ(&timer.TimerThread(), sender);
  }
}

}  // namespace
}  // namespace lumivane
