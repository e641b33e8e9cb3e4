#pragma once
// Locked bitmap drawing: a process-wide switch that, once on, makes every draw of a bitmap onto a
// canvas hold the source bitmap's canvas lock, so that a bitmap drawn by one thread is never
// changed by another in the middle of the draw. The switch is one-way: it is never turned off.
namespace lumivane {

class TBitmap;

// Turns locked drawing on for the rest of the process; later calls change nothing.
void SwitchOnLockedDrawing();
bool LockedDrawingOn();

// Held for the length of one draw of a bitmap: locks the bitmap's canvas when locked drawing is
// on and the bitmap is not empty, and unlocks it again when it goes out of scope (also when the
// draw raised, and also when the draw left the bitmap empty, so that no lock is ever left held).
class TLockedDrawing {
 public:
  explicit TLockedDrawing(TBitmap& Bitmap);
  ~TLockedDrawing();
  TLockedDrawing(const TLockedDrawing&) = delete;
  TLockedDrawing& operator=(const TLockedDrawing&) = delete;

  bool Locked() const { return locked_; }

 private:
  TBitmap& bitmap_;
  bool locked_ = false;
};

}  // namespace lumivane
