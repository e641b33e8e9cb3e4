#pragma once
// A push button. '&' in the caption marks the accelerator letter; Default buttons are pressed by
// Enter and Cancel buttons by Escape anywhere on the form; ModalResult closes a modal form.
#include "framework/custom_control.h"

namespace lumivane {

class TButton : public TCustomControl {
 public:
  explicit TButton(TComponent* AOwner);

  bool Default = false;
  bool Cancel = false;
  TModalResult ModalResult = mrNone;

  // Presses the button: OnClick, then the form's ModalResult when this one's is set.
  void Click() override;

 protected:
  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool pressed_ = false;
};

// The caption without '&' markers ("&&" stands for one '&'), and the accelerator letter (0 if none).
std::string StripAccelerator(const std::string& caption, char* accelerator = nullptr);

}  // namespace lumivane
