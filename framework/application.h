#pragma once
// The application: its title, its forms and main form, the event loop, calls onto the main
// thread, and the default error report for exceptions that escape event handlers.
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "framework/component.h"
#include "framework/dialog_service.h"

class QApplication;
class QObject;
class QSocketNotifier;

namespace lumivane {

class TForm;
class TKeyFilter;

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& value) { title_ = value; }

  // Creates the Qt application when there is none yet (a test's main() may have made one) and
  // installs the framework's key filter; records the main thread and the screen size.
  void Initialize(int& argc, char** argv);
  // The same for a program or test that created its QApplication itself.
  void Initialize();

  // Creates a form owned by the application, fires its OnCreate; the first becomes MainForm.
  template <typename T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    AddForm(reference);
  }
  TForm* MainForm() const { return main_form_; }

  // Shows the main form and runs the event loop until it closes or Terminate is called; then the
  // application's forms are destroyed (OnDestroy first).
  void Run();
  // Asks the event loop to end. Safe to read from any thread.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  // Handles the pending events and returns.
  void ProcessMessages();
  // Fires OnDestroy and deletes every form the application owns (Run does this at its end).
  void DestroyForms();

  // From now on SIGTERM, SIGINT and SIGHUP close the main form as the user's close does. The
  // signal handler only writes to a pipe; the event loop reads it and does the closing.
  void HandleTerminationSignals();
  // Closes whatever modal dialog is open, then the main form (what a termination signal does).
  void CloseOnRequest();

  // Call from a catch block: EAbort is ignored; OnException when assigned; else ShowException.
  void HandleException(TObject* Sender);
  // Handles a given exception as HandleException does.
  void HandleException(TObject* Sender, std::exception_ptr error);
  // The default error report: an error box with the title as caption and the message, with a
  // full stop appended when its last character's code is above that of '.'. While one report's
  // box is open, further reports (from timers ticking behind it) are dropped, so boxes never
  // pile up.
  void ShowException(const std::exception& E);
  // The text the error report shows for a message.
  static std::string ErrorReportText(const std::string& message);
  TExceptionEvent OnException;

  // Runs fn on the main thread and waits until it ran (at once when called on the main thread).
  // An exception fn raises is raised again in the caller. The call goes through the threads'
  // one main-thread queue, which every main-thread wait serves.
  void RunOnMainThread(const std::function<void()>& fn);
  // Posts fn to the main thread; exceptions it raises go to HandleException.
  void QueueOnMainThread(std::function<void()> fn);
  bool IsMainThread() const;

  // The modal dialogs. The service is not owned; null restores the default Qt dialogs.
  TDialogService& DialogService();
  TDialogService* SetDialogService(TDialogService* service);

  // Runs fn and reports an exception it raises through HandleException instead of letting it go
  // on; used wherever the framework dispatches an event to program code.
  template <typename Fn>
  void Guard(TObject* Sender, Fn&& fn) {
    try {
      fn();
    } catch (...) {
      HandleException(Sender);
    }
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void AddForm(TForm* form);
  void EnsureQtHooks();
  // Runs at exit(), before any static object is destroyed: stops the workers' ticks and, when
  // the process ends from inside the event loop (the toolkit ends it so when the display goes
  // away), ends it there, so that no static destructor destroys forms under a toolkit in
  // mid-dispatch.
  static void ShutdownAtExit(int status, void*);

  std::string title_;
  TForm* main_form_ = nullptr;
  std::atomic<bool> terminated_{false};
  bool running_ = false;
  bool reporting_ = false;
  std::unique_ptr<QSocketNotifier> signal_notifier_;
  std::thread::id main_thread_;
  std::unique_ptr<QApplication> own_qt_app_;
  std::unique_ptr<TDialogService> default_dialogs_;
  TDialogService* dialogs_ = nullptr;
  TKeyFilter* key_filter_ = nullptr;
  int argc_ = 0;
};

// The one application object of the process. It is defined beside the screen object in one
// translation unit: the screen is built first and destroyed last.
extern TApplication* const Application;

}  // namespace lumivane
