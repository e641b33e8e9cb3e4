#include "picture/locked_drawing.h"

#include <atomic>

#include "picture/bitmap.h"

namespace lumivane {

namespace {
std::atomic<bool> locked_drawing{false};
}  // namespace

void SwitchOnLockedDrawing() { locked_drawing.store(true); }

bool LockedDrawingOn() { return locked_drawing.load(); }

TLockedDrawing::TLockedDrawing(TBitmap& Bitmap) : bitmap_(Bitmap) {
  if (!LockedDrawingOn() || bitmap_.IsEmpty()) return;
  bitmap_.Canvas().Lock();
  locked_ = true;
}

TLockedDrawing::~TLockedDrawing() {
  if (locked_) bitmap_.Canvas().Unlock();
}

}  // namespace lumivane
