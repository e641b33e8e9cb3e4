#include "framework/form.h"

#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QWidget>

#include "framework/application.h"
#include "framework/button.h"
#include "framework/control_widget.h"
#include "framework/exception.h"
#include "framework/key_mapping.h"
#include "framework/screen.h"

namespace lumivane {

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
  visible_ = false;
  width_ = 320;
  height_ = 240;
  SetColor(clBtnFace);
  ControlStyle.Include(csAcceptsControls);
  Screen->AddForm(this);
  Application->Initialize();
}

TForm::~TForm() {
  BeginDestruction();
  if (Screen->ActiveForm() == this) Screen->SetActiveForm(nullptr);
  Screen->RemoveForm(this);
}

// ---- window ---------------------------------------------------------------------------------

QWidget* TForm::MakeWidget(QWidget*) {
  auto* w = new TControlWidget(this, nullptr);
  w->setWindowTitle(QString::fromStdString(Caption()));
  return w;
}

void TForm::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
  if (widget_ == nullptr) return;
  const bool wasVisible = widget_->isVisible();
  Qt::WindowFlags flags = Qt::Window;
  switch (border_style_) {
    case bsNone:
      flags |= Qt::FramelessWindowHint;
      break;
    case bsDialog:
    case bsSingle:
    case bsToolWindow:
      flags |= Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      break;
    default:
      break;
  }
  widget_->setWindowFlags(flags);
  ApplyGeometry();
  if (wasVisible) widget_->show();
}

void TForm::SetBorderStyle(TFormBorderStyle value) {
  if (value == border_style_) return;
  border_style_ = value;
  ApplyWindowFlags();
}

void TForm::TextChanged() {
  if (widget_ != nullptr) widget_->setWindowTitle(QString::fromStdString(Caption()));
}

void TForm::SetIcon(const QIcon& icon) {
  HandleNeeded();
  widget_->setWindowIcon(icon);
}

int TForm::ClientWidth() const { return std::max(0, width_ - frame_left_ - frame_right_); }
int TForm::ClientHeight() const { return std::max(0, height_ - frame_top_ - frame_bottom_); }

void TForm::ApplyGeometry() {
  if (widget_ == nullptr) return;
  const int w = ClientWidth(), h = ClientHeight();
  const bool fixed = border_style_ != bsSizeable && border_style_ != bsSizeToolWin && border_style_ != bsNone;
  applying_geometry_ = true;
  if (fixed) {
    widget_->setFixedSize(w, h);
  } else {
    widget_->setMinimumSize(0, 0);
    widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  // The form's position is that of its frame; the widget's geometry is its client area. Both
  // change in one step so the window system never sees a half-applied bounds change.
  widget_->setGeometry(left_ + frame_left_, top_ + frame_top_, w, h);
  applying_geometry_ = false;
}

void TForm::WindowSystemGeometry(int clientX, int clientY, int clientWidth, int clientHeight, int frameLeft,
                                 int frameTop, int frameRight, int frameBottom) {
  if (applying_geometry_) return;
  if (frameLeft != frame_left_ || frameTop != frame_top_ || frameRight != frame_right_ ||
      frameBottom != frame_bottom_) {
    // The window manager told its frame: the outer bounds stay as the program set them.
    frame_left_ = frameLeft;
    frame_top_ = frameTop;
    frame_right_ = frameRight;
    frame_bottom_ = frameBottom;
    ApplyGeometry();
    Realign();
    return;
  }
  const int left = clientX - frameLeft;
  const int top = clientY - frameTop;
  const int width = clientWidth + frameLeft + frameRight;
  const int height = clientHeight + frameTop + frameBottom;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  SetBounds(left, top, width, height);
}

void TForm::CenterOnScreen() {
  left_ = (Screen->Width() - width_) / 2;
  top_ = (Screen->Height() - height_) / 2;
  ApplyGeometry();
}

// ---- life cycle -----------------------------------------------------------------------------

void TForm::DoCreate() {
  if (created_) return;
  created_ = true;
  Fire(OnCreate, this);
}

void TForm::DoDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Fire(OnDestroy, this);
}

void TForm::DoShow() { Fire(OnShow, this); }
void TForm::DoHide() { Fire(OnHide, this); }

void TForm::SetVisible(bool value) {
  if (value == Visible()) return;
  if (value) {
    DoCreate();
    HandleNeeded();
    if (!shown_once_ && position_ == poScreenCenter) CenterOnScreen();
    shown_once_ = true;
    visible_ = true;
    DoShow();
    if (!visible_) return;  // OnShow hid the form again
    ApplyGeometry();
    widget_->show();
    Screen->SetActiveForm(this);
    widget_->activateWindow();
    if (active_control_ != nullptr && active_control_->widget_ != nullptr) {
      active_control_->widget_->setFocus(Qt::ActiveWindowFocusReason);
    }
  } else {
    visible_ = false;
    DoHide();
    if (widget_ != nullptr) widget_->hide();
    if (Screen->ActiveForm() == this) {
      TForm* main = Application->MainForm();
      Screen->SetActiveForm(main != this && main != nullptr && main->Visible() ? main : nullptr);
    }
  }
}

void TForm::SetActiveControl(TWinControl* control) {
  if (control == active_control_) return;
  if (control != nullptr && !ContainsControl(control)) return;
  TWinControl* old = active_control_;
  active_control_ = control;
  if (old != nullptr) old->DoExit();
  if (control != nullptr) {
    control->DoEnter();
    if (control->widget_ != nullptr && !control->widget_->hasFocus() && control->CanFocus()) {
      control->widget_->setFocus(Qt::OtherFocusReason);
    }
  }
}

bool TForm::Active() const { return Screen->ActiveForm() == this; }

bool TForm::CloseQuery() {
  bool canClose = true;
  Fire(OnCloseQuery, this, canClose);
  return canClose;
}

void TForm::SetModalResult(TModalResult value) { modal_result_ = value; }

TModalResult TForm::ShowModal() {
  if (Visible() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  TForm* previousActive = Screen->ActiveForm();
  modal_ = true;
  modal_result_ = mrNone;
  HandleNeeded();
  widget_->setWindowModality(Qt::ApplicationModal);
  try {
    Show();
    QEventLoop loop;
    for (;;) {
      while (modal_result_ == mrNone && !Application->Terminated() && Visible()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::EventLoopExec);
      }
      if (Application->Terminated() || !Visible()) {
        if (modal_result_ == mrNone) modal_result_ = mrCancel;
        break;
      }
      // A result was set: the form may still refuse to close.
      TCloseAction action = caHide;
      if (CloseQuery()) {
        Fire(OnClose, this, action);
      } else {
        action = caNone;
      }
      if (action != caNone) break;
      modal_result_ = mrNone;
    }
  } catch (...) {
    modal_ = false;
    Hide();
    widget_->setWindowModality(Qt::NonModal);
    throw;
  }
  modal_ = false;
  Hide();
  widget_->setWindowModality(Qt::NonModal);
  if (previousActive != nullptr && previousActive != this && previousActive->Visible()) {
    Screen->SetActiveForm(previousActive);
  }
  return modal_result_;
}

void TForm::Close() {
  if (modal_) {
    modal_result_ = mrCancel;
    return;
  }
  if (closing_ || !CloseQuery()) return;
  closing_ = true;
  const bool isMain = Application->MainForm() == this;
  TCloseAction action = isMain ? caFree : caHide;
  try {
    Fire(OnClose, this, action);
  } catch (...) {
    closing_ = false;
    throw;
  }
  closing_ = false;
  if (action == caNone) return;
  if (isMain) {
    Hide();
    Application->Terminate();
  } else if (action == caHide || action == caMinimize) {
    Hide();
  } else if (action == caFree) {
    Hide();
    // Freed once the current event is over.
    QWidget* w = Widget();
    QMetaObject::invokeMethod(
        w,
        [this] {
          DoDestroy();
          delete this;
        },
        Qt::QueuedConnection);
  }
}

void TForm::WindowSystemClose() { Close(); }

void TForm::WindowSystemActivated(bool active) {
  if (active) {
    Screen->SetActiveForm(this);
    Fire(OnActivate, this);
  } else {
    Fire(OnDeactivate, this);
  }
}

// ---- keys -----------------------------------------------------------------------------------

namespace {

TButton* FindButton(TWinControl* parent, bool wantDefault) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* button = dynamic_cast<TButton*>(c)) {
      if (wantDefault ? button->Default : button->Cancel) return button;
    }
    if (auto* win = dynamic_cast<TWinControl*>(c)) {
      if (TButton* found = FindButton(win, wantDefault)) return found;
    }
  }
  return nullptr;
}

}  // namespace

bool TForm::HandleDialogKey(TWinControl* target, uint16_t key) {
  if (key == VK_RETURN) {
    // Enter presses the focused button, or else the default one.
    TButton* button = dynamic_cast<TButton*>(target);
    if (button == nullptr) button = FindButton(this, true);
    if (button == nullptr) return false;
    button->Click();
    return true;
  }
  if (key == VK_ESCAPE) {
    TButton* button = FindButton(this, false);
    if (button == nullptr) return false;
    button->Click();
    return true;
  }
  return false;
}

bool TForm::DispatchKeyEvent(TWinControl* target, QKeyEvent* event) {
  const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
  const uint16_t virtualKey = VirtualKeyForQtKey(event->key(), keypad);
  const TShiftState shift = ShiftStateForKeyEvent(*event);
  const bool preview = KeyPreview && target != this;
  if (virtualKey == 0) return false;
  uint16_t key = virtualKey;

  if (event->type() == QEvent::KeyRelease) {
    if (preview && DispatchKeyUp(key, shift)) return true;
    if (target->DispatchKeyUp(key, shift)) return true;
    return !target->WantsNativeKeys();
  }

  if (preview && DispatchKeyDown(key, shift)) return true;
  if (target->DispatchKeyDown(key, shift)) return true;
  // The character comes from the key as pressed, whatever the key handlers did with the code.
  char ch = CharacterForKey(virtualKey, shift, *event);
  if (ch != 0) {
    if (preview && DispatchKeyPress(ch)) return true;
    if (target->DispatchKeyPress(ch)) return true;
  }
  if (HandleDialogKey(target, virtualKey)) return true;
  if (virtualKey == VK_TAB) return false;  // the window system moves the focus
  return !target->WantsNativeKeys();
}

}  // namespace lumivane
