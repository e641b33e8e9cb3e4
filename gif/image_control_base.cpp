#include "gif/image_control_base.h"

#include "framework/application.h"
#include "framework/form.h"
#include "framework/thread.h"
#include "framework/win_control.h"
#include "picture/locked_drawing.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

// The form's answer to a new palette: it realizes the palette on the screen. The screen has 32
// bits per pixel and no palette, so this changes no pixel and nothing needs repainting; whether
// the announcement is sent at once (while drawing) or posted therefore comes to the same.
void RealizeForForm(HPALETTE Palette) {
  HDC screen = GetDC(nullptr);
  HPALETTE old = SelectPalette(screen, Palette, FALSE);
  RealizePalette(screen);
  SelectPalette(screen, old, FALSE);
  ReleaseDC(nullptr, screen);
}

bool Overlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

// Holds a canvas lock for one scope.
class TCanvasLock {
 public:
  explicit TCanvasLock(TCanvas& Canvas) : canvas_(Canvas) { canvas_.Lock(); }
  ~TCanvasLock() { canvas_.Unlock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;

 private:
  TCanvas& canvas_;
};

// Saves the context's state and shifts its viewport origin by (Dx, Dy) for one paint.
class TShiftedPaint {
 public:
  TShiftedPaint(HDC DC, int Dx, int Dy, int ClipWidth, int ClipHeight) : dc_(DC) {
    saved_ = SaveDC(dc_);
    POINT origin{};
    GetViewportOrgEx(dc_, &origin);
    SetViewportOrgEx(dc_, origin.x + Dx, origin.y + Dy, nullptr);
    IntersectClipRect(dc_, 0, 0, ClipWidth, ClipHeight);
  }
  ~TShiftedPaint() { RestoreDC(dc_, saved_); }

 private:
  HDC dc_;
  int saved_;
};

}  // namespace

TImageControlBase::TImageControlBase(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle.Include(csCaptureMouse);
  ControlStyle.Include(csClickEvents);
  ControlStyle.Include(csDoubleClicks);
  ControlStyle.Include(csOpaque);
  ControlStyle.Include(csReplicatable);
  SetBounds(Left(), Top(), 105, 105);
  SetParentColor(true);
}

TImageControlBase::~TImageControlBase() = default;

void TImageControlBase::LockState() {
  if (!Application->IsMainThread()) {
    StateLock.lock();
    return;
  }
  if (StateLock.try_lock()) return;
  TThread::WaitServingMainThread([this] { return StateLock.try_lock(); });
}

void TImageControlBase::UnlockState() { StateLock.unlock(); }

void TImageControlBase::PaintContents() {
  TCanvas& canvas = Canvas();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(Rect(0, 0, ClientWidth(), ClientHeight()));
  const bool wasDrawing = Drawing;
  Drawing = true;
  try {
    DrawImage();
  } catch (...) {
    Drawing = wasDrawing;
    throw;
  }
  Drawing = wasDrawing;
}

void TImageControlBase::PaintNow() {
  if (Application->IsMainThread()) {
    Repaint();
    return;
  }
  // The off-screen image is the control's window surface: its context is already in client
  // coordinates and clipped to the control. It is taken before the canvas lock, the order every
  // thread keeps.
  HDC dc = AcquirePaintDC();
  if (dc == nullptr) return;
  try {
    PaintWindow(dc);
  } catch (...) {
    ReleasePaintDC(dc);
    throw;
  }
  ReleasePaintDC(dc);
}

void TImageControlBase::PaintWindow(HDC DC) {
  // PaintBuffered is only set by the thread that holds the canvas lock, so it is read under it.
  TCanvasLock lock(Canvas());
  if (PaintBuffered) {
    TGraphicControl::PaintWindow(DC);
  } else if (DC != nullptr) {
    PaintBufferedInto(DC);
  }
}

void TImageControlBase::PaintBufferedInto(HDC DC) {
  // Every context this control is painted into is an off-screen image already (its own buffer of
  // the exposed part, or the surface PaintNow takes), and it reaches the screen only when the paint
  // is whole. A second buffer in between would cost a bitmap of the visible size and a copy for no
  // visible difference, so the control paints straight into DC.
  PaintBuffered = true;
  try {
    PaintWindow(DC);
  } catch (...) {
    PaintBuffered = false;
    throw;
  }
  PaintBuffered = false;
}

bool TImageControlBase::NotifyPaletteChange() {
  if (!Visible() || Loading() || WatchedGraphic == nullptr || !WatchedGraphic->PaletteModified) {
    return false;
  }
  HPALETTE palette = GetPalette();
  if (palette == nullptr) {
    WatchedGraphic->PaletteModified = false;
    return false;
  }
  TForm* form = Parent() != nullptr ? ParentForm() : nullptr;
  if (form == nullptr || !form->Active() || !form->HandleAllocated()) return false;
  RealizeForForm(palette);
  WatchedGraphic->PaletteModified = false;
  return true;
}

void TImageControlBase::ImageUpdated() {
  if (Destroying()) return;
  AdjustToImage();
  if (WatchedGraphic != nullptr && NotifyPaletteChange() && Drawing) Update();
  if (!Drawing) Invalidate();
}

void CopyParentBackground(TControl* Control, TCanvas& Canvas) {
  if (Control == nullptr || Control->Parent() == nullptr) return;
  TWinControl* parent = Control->Parent();
  HDC dc = Canvas.Handle();
  const int left = Control->Left();
  const int top = Control->Top();
  parent->ControlState.Include(csPaintCopy);
  try {
    {
      TShiftedPaint shift(dc, -left, -top, parent->ClientWidth(), parent->ClientHeight());
      parent->EraseBackground(dc);
      parent->PaintWindow(dc);
    }
    const TRect bounds = Control->BoundsRect();
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* sibling = parent->Controls(i);
      if (sibling == Control) break;
      if (dynamic_cast<TGraphicControl*>(sibling) == nullptr || !sibling->Visible()) continue;
      if (!Overlap(sibling->BoundsRect(), bounds)) continue;
      sibling->ControlState.Include(csPaintCopy);
      try {
        TShiftedPaint shift(dc, sibling->Left() - left, sibling->Top() - top, sibling->Width(),
                            sibling->Height());
        sibling->PaintWindow(dc);
      } catch (...) {
        sibling->ControlState.Exclude(csPaintCopy);
        throw;
      }
      sibling->ControlState.Exclude(csPaintCopy);
    }
  } catch (...) {
    parent->ControlState.Exclude(csPaintCopy);
    throw;
  }
  parent->ControlState.Exclude(csPaintCopy);
}

void EnableLockedBitmapDrawing() { SwitchOnLockedDrawing(); }

}  // namespace lumivane
