#pragma once
// A windowed control: it can hold child controls, take the keyboard focus and receive keys. Its
// Qt widget is created lazily (CreateWnd), at the latest when its form is shown.
#include <cstdint>
#include <vector>

#include "framework/control.h"

namespace lumivane {

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // ---- children -------------------------------------------------------------------------------
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  // Children in z-order (first = bottom-most).
  TControl* Controls(int index) const { return controls_.at(index); }
  bool ContainsControl(const TControl* control) const;

  // ---- window ---------------------------------------------------------------------------------
  bool HandleAllocated() const { return widget_ != nullptr; }
  // Creates the widget (and the parent's first) when there is none.
  void HandleNeeded();
  // Creates the widget now (parents first), then returns it.
  QWidget* Widget();
  // Destroys the widget and creates it again.
  void RecreateWnd();

  // ---- focus ----------------------------------------------------------------------------------
  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int value);
  bool TabStop = false;
  bool CanFocus() const;
  // Gives this control the keyboard focus (it becomes its form's ActiveControl).
  virtual void SetFocus();
  bool Focused() const;

  // ---- alignment ------------------------------------------------------------------------------
  // Runs the align pass over the children now.
  void Realign();
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const { return align_level_ > 0; }

  // ---- keys -----------------------------------------------------------------------------------
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Entry points of the window system for keys aimed at this control, after the form's preview.
  // Each returns true when the key was consumed (set to 0).
  bool DispatchKeyDown(uint16_t& Key, TShiftState Shift);
  bool DispatchKeyPress(char& Key);
  bool DispatchKeyUp(uint16_t& Key, TShiftState Shift);
  // True when a native Qt widget handles keys itself after the framework events (edits).
  virtual bool WantsNativeKeys() const { return false; }

  // Fills DC with the control's colour.
  void EraseBackground(HDC DC) override;

 protected:
  // Creates the Qt widget; descendants call the inherited one first, then do what needs the window.
  virtual void CreateWnd();
  virtual void DestroyWnd();

  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void DoEnter();
  virtual void DoExit();

  // The rectangle children are aligned in (the client rectangle, less borders).
  virtual void AdjustClientRect(TRect& rect);
  // Places the aligned and anchored children; AControl is the child that asked for it (it wins
  // ties in its alignment group), or null.
  virtual void AlignControls(TControl* AControl, TRect& rect);
  // Asked by a child (or by this control) for an align pass.
  void AlignControl(TControl* AControl);

  void BoundsChanged(bool Sized) override;
  void FontChanged() override;
  void ColorChanged() override;
  void EnabledChanged() override;

 private:
  friend class TControl;
  friend class TForm;

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void CreateChildWidgets();
  void ApplyTabOrder();
  bool NeedsAlignPass() const;

  std::vector<TControl*> controls_;
  int tab_order_ = -1;
  int align_level_ = 0;
  bool align_needed_ = false;
  bool creating_wnd_ = false;
};

}  // namespace lumivane
