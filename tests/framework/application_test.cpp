// The error report, exceptions escaping handlers, the dialog service, threads and the timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <thread>

#include "framework/application.h"
#include "framework/dialogs.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/panel.h"
#include "framework/screen.h"
#include "framework/scripted_dialog_service.h"
#include "framework/sys_utils.h"
#include "framework/timer.h"

namespace lumivane {
namespace {

// Installs a scripted dialog service for one test.
class ScriptedDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = Application->SetDialogService(&dialogs_);
    Application->SetTitle("Lumivane");
  }
  void TearDown() override {
    Application->SetDialogService(previous_);
    Application->OnException = nullptr;
  }
  TScriptedDialogService dialogs_;
  TDialogService* previous_ = nullptr;
};

void Pump(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

TEST(ErrorReport, FullStopOnlyAfterCharactersAboveThePeriod) {
  EXPECT_EQ("abc.", TApplication::ErrorReportText("abc"));
  EXPECT_EQ("Disk 7.", TApplication::ErrorReportText("Disk 7"));
  EXPECT_EQ("abc.", TApplication::ErrorReportText("abc."));
  EXPECT_EQ("abc!", TApplication::ErrorReportText("abc!"));
  EXPECT_EQ("x)", TApplication::ErrorReportText("x)"));  // ')' is below '.'
  EXPECT_EQ("", TApplication::ErrorReportText(""));
  EXPECT_EQ("caf\xc3\xa9.", TApplication::ErrorReportText("caf\xc3\xa9"));  // high bytes count
}

TEST_F(ScriptedDialogs, ExceptionInAHandlerReachesTheErrorReportAndTheProgramGoesOn) {
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->OnClick = [](TObject*) { StrToInt("12a"); };
  panel->DispatchMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  panel->DispatchMouseUp(mbLeft, {}, 5, 5);  // must not throw
  ASSERT_EQ(1u, dialogs_.Shown().size());
  const TShownDialog& shown = dialogs_.Shown()[0];
  EXPECT_EQ(TDialogKind::MessageBox, shown.Kind);
  EXPECT_EQ(TDialogIcon::Error, shown.Icon);
  EXPECT_EQ("Lumivane", shown.Caption);
  EXPECT_EQ("'12a' is not a valid integer value.", shown.Text);

  // Keys dispatched from the window system are guarded the same way.
  form.KeyPreview = true;
  form.OnKeyDown = [](TObject*, uint16_t&, TShiftState) { throw EInvalidOperation("Bad key!"); };
  form.Show();
  QKeyEvent event(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
  QApplication::sendEvent(panel->Widget(), &event);
  ASSERT_EQ(2u, dialogs_.Shown().size());
  EXPECT_EQ("Bad key!", dialogs_.Shown()[1].Text);

  // The silent abort shows nothing; OnException replaces the report.
  panel->OnClick = [](TObject*) { throw EAbort("quiet"); };
  panel->DispatchMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  panel->DispatchMouseUp(mbLeft, {}, 5, 5);
  EXPECT_EQ(2u, dialogs_.Shown().size());
  std::string seen;
  Application->OnException = [&](TObject* sender, const std::exception& e) {
    seen = e.what();
    EXPECT_EQ(panel, sender);
  };
  panel->OnClick = [](TObject*) { throw EReadError("Stream read error"); };
  panel->DispatchMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  panel->DispatchMouseUp(mbLeft, {}, 5, 5);
  EXPECT_EQ("Stream read error", seen);
  EXPECT_EQ(2u, dialogs_.Shown().size());
}

TEST_F(ScriptedDialogs, DialogFunctionsUseTheServiceWithTheProgramsTexts) {
  dialogs_.QueueInput(std::string("250"));
  dialogs_.QueueInput(std::nullopt);
  EXPECT_EQ("250", InputBox("Slide Show", "Interval (miliseconds):", "1000"));
  EXPECT_EQ("1000", InputBox("Slide Show", "Interval (miliseconds):", "1000"));
  EXPECT_EQ("7", InputBox("Caption", "Prompt", "7"));  // nothing queued: cancelled

  dialogs_.QueueConfirm(mrYes);
  EXPECT_EQ(mrYes, ConfirmYesNo("Delete file?", 40, -1));
  EXPECT_EQ(mrNo, ConfirmYesNo("Again?", -1, -1));
  ShowMessage("Copy failed");

  const auto& shown = dialogs_.Shown();
  ASSERT_EQ(6u, shown.size());
  EXPECT_EQ(TDialogKind::InputQuery, shown[0].Kind);
  EXPECT_EQ("Slide Show", shown[0].Caption);
  EXPECT_EQ("Interval (miliseconds):", shown[0].Text);
  EXPECT_EQ("1000", shown[0].DefaultText);
  EXPECT_EQ("Confirm", shown[3].Caption);
  EXPECT_EQ(TDialogIcon::Question, shown[3].Icon);
  EXPECT_EQ(40, shown[3].X);
  EXPECT_EQ(-1, shown[3].Y);
  EXPECT_EQ(TDialogKind::MessageBox, shown[5].Kind);
  EXPECT_EQ("Lumivane", shown[5].Caption);
  EXPECT_EQ(TDialogIcon::None, shown[5].Icon);
}

TEST(MainThread, WorkerWaitsForTheMainThreadAndGetsItsException) {
  EXPECT_TRUE(Application->IsMainThread());
  bool ranOnMain = false;
  bool workerSawMain = true;
  bool workerGotError = false;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    workerSawMain = Application->IsMainThread();
    Application->RunOnMainThread([&] { ranOnMain = Application->IsMainThread(); });
    try {
      Application->RunOnMainThread([] { throw EInvalidOperation("from main"); });
    } catch (const EInvalidOperation&) {
      workerGotError = true;
    }
    done = true;
  });
  QElapsedTimer clock;
  clock.start();
  while (!done && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  EXPECT_FALSE(workerSawMain);
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(workerGotError);
}

TEST_F(ScriptedDialogs, TimerTicksOnTheMainThreadAndStops) {
  TTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(1000u, timer.Interval());
  int ticks = 0;
  timer.SetInterval(10);
  timer.OnTimer = [&](TObject*) {
    EXPECT_TRUE(Application->IsMainThread());
    if (++ticks == 3) throw EInvalidOperation("tick failed");
  };
  Pump(200);
  EXPECT_GE(ticks, 4) << "an exception in OnTimer does not stop the timer";
  ASSERT_FALSE(dialogs_.Shown().empty());
  EXPECT_EQ("tick failed.", dialogs_.Shown()[0].Text);

  timer.SetEnabled(false);
  const int stopped = ticks;
  Pump(60);
  EXPECT_EQ(stopped, ticks);
  timer.SetEnabled(true);
  timer.SetInterval(0);
  Pump(60);
  EXPECT_EQ(stopped, ticks);
}

TEST(ScreenAndCursor, FixedOffscreenSizeAndOverrideCursor) {
  EXPECT_EQ(1024, Screen->Width());
  EXPECT_EQ(768, Screen->Height());
  Screen->SetSize(800, 600);
  EXPECT_EQ(800, Screen->Width());
  Screen->SetSize(0, 0);
  EXPECT_EQ(1024, Screen->Width());

  Screen->SetCursor(crSizeAll);
  ASSERT_NE(nullptr, QGuiApplication::overrideCursor());
  EXPECT_EQ(Qt::SizeAllCursor, QGuiApplication::overrideCursor()->shape());
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(Qt::WaitCursor, QGuiApplication::overrideCursor()->shape());
  Screen->SetCursor(crDefault);
  EXPECT_EQ(nullptr, QGuiApplication::overrideCursor());
}

TEST(FormLifecycle, CloseQueryCloseAndModalResult) {
  TForm form(nullptr);
  std::vector<std::string> log;
  form.OnCreate = [&](TObject*) { log.push_back("create"); };
  form.OnShow = [&](TObject*) { log.push_back("show"); };
  bool allow = false;
  form.OnCloseQuery = [&](TObject*, bool& canClose) {
    log.push_back("query");
    canClose = allow;
  };
  form.OnClose = [&](TObject*, TCloseAction&) { log.push_back("close"); };
  form.Show();
  form.Close();
  EXPECT_TRUE(form.Visible());
  allow = true;
  form.Close();
  EXPECT_FALSE(form.Visible());
  form.Show();
  EXPECT_EQ((std::vector<std::string>{"create", "show", "query", "query", "close", "show"}), log);
  form.Hide();

  // A modal show ends when a result is set.
  QTimer::singleShot(20, [&] { form.SetModalResult(mrOk); });
  EXPECT_EQ(mrOk, form.ShowModal());
  EXPECT_FALSE(form.Visible());
}

}  // namespace
}  // namespace lumivane
