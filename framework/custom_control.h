#pragma once
// A windowed control that paints itself through its canvas.
#include "framework/control_canvas.h"
#include "framework/win_control.h"

namespace lumivane {

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  TCanvas& Canvas() { return canvas_; }

  // Points the canvas at DC, locks it and calls Paint.
  void PaintWindow(HDC DC) override;

 private:
  TControlCanvas canvas_;
};

}  // namespace lumivane
