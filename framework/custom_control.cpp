#include "framework/custom_control.h"

namespace lumivane {

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(this) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC DC) {
  canvas_.Lock();
  try {
    canvas_.Font().AssignFrom(&Font());
    canvas_.Brush().SetColor(Color());
    canvas_.SetHandle(DC);
    Paint();
  } catch (...) {
    canvas_.SetHandle(nullptr);
    canvas_.Unlock();
    throw;
  }
  canvas_.SetHandle(nullptr);
  canvas_.Unlock();
}

}  // namespace lumivane
