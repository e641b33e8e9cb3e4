#pragma once
// The canvas of a control. While the control paints, its handle is the control's off-screen paint
// context; at other times it measures text on a private memory context (drawing there is lost).
#include "framework/canvas.h"

namespace lumivane {

class TControl;

class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;

  TControl* Control() const { return control_; }
  // Drops the measuring context (it is made again on demand).
  void FreeHandle();

 protected:
  void CreateHandle() override;

 private:
  TControl* control_;
  HDC measure_dc_ = nullptr;
};

}  // namespace lumivane
