#pragma once
// The base of an image control that may be painted from a worker thread: a re-entrant state lock,
// painting through an off-screen bitmap, an immediate repaint that also works off the main thread,
// and announcement of palette changes to the parent form.
#include <mutex>

#include "framework/canvas.h"
#include "framework/graphic_control.h"
#include "picture/graphic.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TImageControlBase : public TGraphicControl {
 public:
  explicit TImageControlBase(TComponent* AOwner);
  ~TImageControlBase() override;

  // Takes and releases the state lock. On the main thread the wait for the lock keeps running
  // the calls that worker threads wait to have run there, so a worker that holds the lock while
  // it waits for the main thread cannot deadlock it.
  void LockState();
  void UnlockState();

  // Fills the client area with Color, then draws the image (DrawImage) with Drawing set.
  void PaintContents();
  // Repaints at once: through the framework on the main thread; on any other thread straight into
  // the control's off-screen image, through the buffered paint.
  void PaintNow();
  // Announces a palette change of WatchedGraphic to the active parent form; true when announced.
  bool NotifyPaletteChange();
  // After the image changed: auto-size, palette announcement, repaint.
  void ImageUpdated();

  // The paint message: painted through a private off-screen bitmap and copied to DC in one go.
  // A message without a context paints nothing (unless a buffered paint is under way).
  void PaintWindow(HDC DC) override;

  bool IsDrawing() const { return Drawing; }
  bool IsPaintBuffered() const { return PaintBuffered; }

 protected:
  // Draws the image onto Canvas().
  virtual void DrawImage() = 0;
  // The palette the control draws with, or null.
  virtual HPALETTE GetPalette() { return nullptr; }
  // Makes the bounds follow the image when AutoSize is on.
  virtual void AdjustToImage() { AdjustSize(); }

  bool Drawing = false;        // PaintContents is running (saved and restored, so nesting is safe)
  bool PaintBuffered = false;  // the buffered paint is under way (read under the canvas lock)
  std::recursive_mutex StateLock;
  TGraphic* WatchedGraphic = nullptr;  // not owned

 private:
  void PaintBufferedInto(HDC DC);
};

// Paints what lies behind Control into Canvas: its parent's background and window, then the
// visible windowless siblings below it that overlap it.
void CopyParentBackground(TControl* Control, TCanvas& Canvas);

// From now on, for the rest of the process, every draw of a bitmap holds the source bitmap's
// canvas lock. A second call does nothing.
void EnableLockedBitmapDrawing();

}  // namespace lumivane
