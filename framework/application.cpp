#include "framework/application.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include "framework/control_widget.h"
#include "framework/exception.h"
#include "framework/form.h"
#include "framework/qt_dialog_service.h"
#include "framework/screen.h"
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
TApplication the_application;
}  // namespace

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
  DialogService().MessageBox(title_, ErrorReportText(E.what()), TDialogIcon::Error);
}

// ---- threads --------------------------------------------------------------------------------

bool TApplication::IsMainThread() const {
  if (QCoreApplication::instance() != nullptr) {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
  }
  return std::this_thread::get_id() == main_thread_;
}

void TApplication::RunOnMainThread(const std::function<void()>& fn) {
  if (IsMainThread() || QCoreApplication::instance() == nullptr) {
    fn();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void TApplication::QueueOnMainThread(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app, [this, fn = std::move(fn)] { Guard(this, fn); }, Qt::QueuedConnection);
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
