#include "framework/graphic_control.h"

namespace lumivane {

namespace {

// Points a canvas at a paint context for the length of one paint, under the canvas lock.
class TPaintScope {
 public:
  TPaintScope(TControl& control, TCanvas& canvas, HDC dc) : canvas_(canvas) {
    canvas_.Lock();
    canvas_.Font().AssignFrom(&control.Font());
    canvas_.Brush().SetColor(control.Color());
    canvas_.SetHandle(dc);
  }
  ~TPaintScope() {
    canvas_.SetHandle(nullptr);
    canvas_.Unlock();
  }

 private:
  TCanvas& canvas_;
};

}  // namespace

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), canvas_(this) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintWindow(HDC DC) {
  TPaintScope scope(*this, canvas_, DC);
  Paint();
}

}  // namespace lumivane
