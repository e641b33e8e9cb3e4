#pragma once
// A windowless control: a child widget without a native window of its own, painted through its
// canvas (valid while painting, or for measuring text at other times).
#include "framework/control.h"
#include "framework/control_canvas.h"

namespace lumivane {

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;

  TCanvas& Canvas() { return canvas_; }

  // Points the canvas at DC, locks it and calls Paint.
  void PaintWindow(HDC DC) override;

 private:
  TControlCanvas canvas_;
};

}  // namespace lumivane
