#include "framework/application.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSocketNotifier>
#include <QThread>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "framework/control_widget.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/qt_dialog_service.h"
#include "framework/screen.h"
#include "framework/thread.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

// Sees every key of the application first: keys aimed at a form's controls go through the form
// (preview, control, dialog keys) before a native widget gets them.
class TKeyFilter : public QObject {
 public:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) last_event_ = nullptr;  // a new key begins
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (!object->isWidgetType()) return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    // A key a native widget ignored travels on to its parents: it was dispatched already.
    if (event == last_event_ && last_receiver_ != nullptr && object != last_receiver_ &&
        static_cast<QWidget*>(object)->isAncestorOf(last_receiver_)) {
      return false;
    }
    last_event_ = nullptr;

    TControl* control = TControlWidget::ControlOf(object);
    if (control == nullptr) return false;
    auto* target = dynamic_cast<TWinControl*>(control);
    if (target == nullptr) target = control->Parent();
    if (target == nullptr) return false;
    TForm* form = target->ParentForm();
    if (form == nullptr) return false;
    if (target == form && form->ActiveControl() != nullptr) target = form->ActiveControl();

    bool consumed = true;
    Application->Guard(target, [&] { consumed = form->DispatchKeyEvent(target, keyEvent); });
    if (!consumed) {
      // Remembered so that the parents it may travel on to do not dispatch it again.
      last_event_ = event;
      last_receiver_ = static_cast<QWidget*>(object);
    }
    return consumed;
  }

 private:
  QEvent* last_event_ = nullptr;
  QPointer<QWidget> last_receiver_;
};

namespace {
// Both global objects live in this one translation unit, so their order is fixed: the screen is
// constructed first and destroyed last, after the application has destroyed its forms (which
// remove themselves from the screen).
TScreen the_screen;
TApplication the_application;

// The pipe a termination signal writes to; the event loop reads it.
int signal_pipe[2] = {-1, -1};

void OnTerminationSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = write(signal_pipe[1], &byte, 1);
  errno = saved;
}
}  // namespace

TScreen* const Screen = &the_screen;
TApplication* const Application = &the_application;

TApplication::TApplication() : TComponent(nullptr), main_thread_(std::this_thread::get_id()) {}

TApplication::~TApplication() {
  // Forms need the Qt application; when it is gone already the process is ending anyway.
  if (QCoreApplication::instance() != nullptr) DestroyForms();
  delete key_filter_;
  key_filter_ = nullptr;
}

void TApplication::Initialize(int& argc, char** argv) {
  if (QCoreApplication::instance() == nullptr) {
    own_qt_app_ = std::make_unique<QApplication>(argc, argv);
  }
  EnsureQtHooks();
}

void TApplication::Initialize() {
  if (QCoreApplication::instance() == nullptr) {
    static char name[] = "lumivane";
    static char* argv[] = {name, nullptr};
    argc_ = 1;
    own_qt_app_ = std::make_unique<QApplication>(argc_, argv);
  }
  EnsureQtHooks();
}

void TApplication::EnsureQtHooks() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || key_filter_ != nullptr) return;
  main_thread_ = std::this_thread::get_id();
  key_filter_ = new TKeyFilter;
  app->installEventFilter(key_filter_);
  SetScreenMetrics(Screen->Width(), Screen->Height());
  // Installed once, and only now: handlers run in the reverse order of installation, so this one
  // runs before the destructors of the static objects built earlier.
  [[maybe_unused]] static const int exitHook = on_exit(&TApplication::ShutdownAtExit, nullptr);
}

void TApplication::ShutdownAtExit(int status, void*) {
  TApplication& app = the_application;
  // Workers stop ticking at once; they are never waited for at exit.
  app.terminated_ = true;
  if (!app.running_) return;
  // exit() from inside the event loop: the toolkit's answer to a lost display, from deep inside
  // its own dispatch. Destroying the windows there (the static destructors would) works on a
  // toolkit in mid-dispatch and crashes; the process ends here instead, with the status asked
  // for, once what was written to the standard streams is out.
  std::fflush(nullptr);
  _exit(status);
}

void TApplication::AddForm(TForm* form) {
  if (main_form_ == nullptr) main_form_ = form;
  form->DoCreate();
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == main_form_) main_form_ = nullptr;
}

void TApplication::Run() {
  Initialize();
  running_ = true;
  if (main_form_ != nullptr && !terminated_) {
    Guard(main_form_, [&] { main_form_->Show(); });
  }
  while (!terminated_ && main_form_ != nullptr) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::EventLoopExec);
    TThread::CheckSynchronize();
  }
  running_ = false;
  DestroyForms();
}

void TApplication::Terminate() {
  terminated_ = true;
  // Wakes the loop so that it sees the flag.
  if (QCoreApplication::instance() != nullptr) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
  }
}

void TApplication::ProcessMessages() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

void TApplication::DestroyForms() {
  while (ComponentCount() > 0) {
    TComponent* component = Components(ComponentCount() - 1);
    if (auto* form = dynamic_cast<TForm*>(component)) {
      Guard(form, [&] { form->DoDestroy(); });
    }
    delete component;
  }
  main_form_ = nullptr;
}

// ---- errors ---------------------------------------------------------------------------------

void TApplication::HandleException(TObject* Sender) { HandleException(Sender, std::current_exception()); }

void TApplication::HandleException(TObject* Sender, std::exception_ptr error) {
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    // The silent abort.
  } catch (const std::exception& e) {
    try {
      if (OnException) {
        OnException(Sender, e);
      } else {
        ShowException(e);
      }
    } catch (...) {
      // The report itself failed; nothing sensible is left to tell.
    }
  } catch (...) {
    try {
      ShowException(Exception("Unknown exception"));
    } catch (...) {
    }
  }
}

std::string TApplication::ErrorReportText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

void TApplication::ShowException(const std::exception& E) {
  if (reporting_) return;
  const QScopedValueRollback<bool> reporting(reporting_, true);
  DialogService().MessageBox(title_, ErrorReportText(E.what()), TDialogIcon::Error);
}

// ---- threads --------------------------------------------------------------------------------

bool TApplication::IsMainThread() const {
  if (QCoreApplication::instance() != nullptr) {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
  }
  return std::this_thread::get_id() == main_thread_;
}

void TApplication::RunOnMainThread(const std::function<void()>& fn) { TThread::Synchronize(nullptr, fn); }

void TApplication::QueueOnMainThread(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app, [this, fn = std::move(fn)] { Guard(this, fn); }, Qt::QueuedConnection);
}

// ---- termination signals ------------------------------------------------------------------

void TApplication::HandleTerminationSignals() {
  if (signal_notifier_ != nullptr || QCoreApplication::instance() == nullptr) return;
  if (signal_pipe[0] < 0 && pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  signal_notifier_ = std::make_unique<QSocketNotifier>(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(signal_notifier_.get(), &QSocketNotifier::activated, [this] {
    char bytes[16];
    while (read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    Guard(this, [this] { CloseOnRequest(); });
  });
  struct sigaction action {};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void TApplication::CloseOnRequest() {
  // The main form first, so that what it saves describes the window as it stands; a modal
  // dialog open above it would keep its own loop running, so it is closed too.
  if (main_form_ != nullptr) main_form_->Close();
  for (int guard = 0; guard < 16; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) break;
    TControl* control = TControlWidget::ControlOf(modal);
    if (auto* form = dynamic_cast<TForm*>(control)) {
      form->Close();
      form->Hide();
    } else {
      modal->close();
      modal->hide();
    }
  }
}

// ---- dialogs --------------------------------------------------------------------------------

TDialogService& TApplication::DialogService() {
  if (dialogs_ != nullptr) return *dialogs_;
  if (!default_dialogs_) default_dialogs_ = std::make_unique<TQtDialogService>();
  return *default_dialogs_;
}

TDialogService* TApplication::SetDialogService(TDialogService* service) {
  TDialogService* previous = dialogs_;
  dialogs_ = service;
  return previous;
}

}  // namespace lumivane
