#pragma once
// A top-level window. Left, Top, Width and Height are the outer (frame) bounds; without a window
// manager frame they equal the client area.
#include <string>

#include "framework/control_types.h"
#include "framework/win_control.h"

class QIcon;
class QKeyEvent;

namespace lumivane {

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  // A form with KeyPreview sees every key aimed at its controls first.
  bool KeyPreview = false;
  // Consumes a key in a key handler: sets it to 0 so that it goes no further.
  static void ConsumeKey(uint16_t& Key) { Key = 0; }
  static void ConsumeKey(char& Key) { Key = 0; }

  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }

  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* control);
  // True while this form is the application's active form.
  bool Active() const;

  // ---- showing and closing --------------------------------------------------------------------
  // Fires OnCreate once; called by Application.CreateForm, and by the first Show otherwise.
  void DoCreate();
  // Fires OnDestroy once; called before the form is deleted by its creator (Application does).
  void DoDestroy();
  void SetVisible(bool value) override;
  // Shows the window and runs a nested event loop until ModalResult is set (or the application
  // terminates); returns ModalResult.
  TModalResult ShowModal();
  // Asks OnCloseQuery, then OnClose decides: hide (default), nothing, or free. Closing the main
  // form terminates the application; closing a modal form sets ModalResult to mrCancel.
  void Close();
  // OnCloseQuery's answer (true when unassigned).
  virtual bool CloseQuery();
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult value);
  bool Modal() const { return modal_; }

  void SetIcon(const QIcon& icon);

  // Widths of the window manager's frame at the left and top (0 without one).
  int FrameLeft() const { return frame_left_; }
  int FrameTop() const { return frame_top_; }
  int ClientWidth() const override;
  int ClientHeight() const override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

  // ---- entry points of the window system ------------------------------------------------------
  // The window system resized or moved the window (client geometry in screen coordinates).
  void WindowSystemGeometry(int clientX, int clientY, int clientWidth, int clientHeight, int frameLeft,
                            int frameTop, int frameRight, int frameBottom);
  // The user asked to close the window.
  void WindowSystemClose();
  void WindowSystemActivated(bool active);
  // Runs a key through the preview, the target control and the dialog keys. Returns true when the
  // key was consumed before reaching the native widget.
  bool DispatchKeyEvent(TWinControl* target, QKeyEvent* event);

 protected:
  void CreateWnd() override;
  void ApplyGeometry() override;
  QWidget* MakeWidget(QWidget* parentWidget) override;
  virtual void DoShow();
  virtual void DoHide();
  // The caption is the window title.
  void TextChanged() override;

 private:
  friend class TWinControl;
  void ApplyWindowFlags();
  void CenterOnScreen();
  bool HandleDialogKey(TWinControl* target, uint16_t key);

  TFormBorderStyle border_style_ = bsSizeable;
  TPosition position_ = poDesigned;
  TWinControl* active_control_ = nullptr;
  TModalResult modal_result_ = mrNone;
  bool modal_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool shown_once_ = false;
  bool closing_ = false;
  // Window-manager frame widths (0 without a window manager).
  int frame_left_ = 0;
  int frame_top_ = 0;
  int frame_right_ = 0;
  int frame_bottom_ = 0;
  // True while the form pushes its own bounds to the window system: the geometry reports that
  // this produces (possibly intermediate ones) are echoes, not user changes.
  bool applying_geometry_ = false;
};

}  // namespace lumivane
