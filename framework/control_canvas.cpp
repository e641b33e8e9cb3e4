#include "framework/control_canvas.h"

#include "platform/gdi/gdi.h"

namespace lumivane {

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
  if (measure_dc_ == nullptr) return;
  if (HandleAllocated()) SetHandle(nullptr);
  DeleteDC(measure_dc_);
  measure_dc_ = nullptr;
}

void TControlCanvas::CreateHandle() {
  // Outside painting the canvas still measures text; what is drawn here reaches no screen.
  if (measure_dc_ == nullptr) measure_dc_ = CreateCompatibleDC(nullptr);
  SetHandle(measure_dc_);
}

}  // namespace lumivane
