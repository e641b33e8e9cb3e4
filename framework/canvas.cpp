#include "framework/canvas.h"

#include "framework/exception.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {
RECT ToRECT(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }
}  // namespace

TCanvas::TCanvas() {
  font_.OnChange = [this](TObject*) { FontChanged(); };
  brush_.OnChange = [this](TObject*) { BrushChanged(); };
  pen_.OnChange = [this](TObject*) { PenChanged(); };
}

TCanvas::~TCanvas() {
  // Derived canvases give their context back themselves; this only deselects.
  if (handle_ != nullptr) DeselectHandles();
  font_.OnChange = nullptr;
  brush_.OnChange = nullptr;
  pen_.OnChange = nullptr;
}

HDC TCanvas::Handle() {
  if (handle_ == nullptr) CreateHandle();
  if (handle_ == nullptr) throw EInvalidOperation("Canvas does not allow drawing");
  return handle_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == handle_) return;
  if (handle_ != nullptr) DeselectHandles();
  handle_ = dc;
  state_ = dc != nullptr ? TCanvasState{csHandleValid} : TCanvasState{};
}

void TCanvas::CreateHandle() {}

void TCanvas::DeselectHandles() {
  if (handle_ == nullptr) return;
  if (state_.Contains(csFontValid) && old_font_ != nullptr) SelectObject(handle_, old_font_);
  if (state_.Contains(csBrushValid) && old_brush_ != nullptr) SelectObject(handle_, old_brush_);
  if (state_.Contains(csPenValid) && old_pen_ != nullptr) SelectObject(handle_, old_pen_);
  old_font_ = old_brush_ = old_pen_ = nullptr;
  state_ = state_ - TCanvasState{csFontValid, csBrushValid, csPenValid};
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::RequiredState(TCanvasState required) {
  const TCanvasState missing = required - state_;
  if (missing.Empty()) return;
  if (missing.Contains(csHandleValid) || handle_ == nullptr) {
    Handle();
    state_.Include(csHandleValid);
  }
  if (missing.Contains(csFontValid)) CreateFont();
  if (missing.Contains(csBrushValid)) CreateBrush();
  if (missing.Contains(csPenValid)) CreatePen();
}

void TCanvas::CreateFont() {
  HGDIOBJ previous = SelectObject(handle_, font_.Handle());
  if (old_font_ == nullptr) old_font_ = previous;
  SetTextColor(handle_, ColorToRGB(font_.Color()));
  state_.Include(csFontValid);
}

void TCanvas::CreateBrush() {
  HGDIOBJ previous = SelectObject(handle_, brush_.Handle());
  if (old_brush_ == nullptr) old_brush_ = previous;
  if (brush_.Style() == bsSolid) {
    SetBkColor(handle_, ColorToRGB(brush_.Color()));
    SetBkMode(handle_, OPAQUE);
  } else {
    SetBkMode(handle_, TRANSPARENT);
  }
  state_.Include(csBrushValid);
}

void TCanvas::CreatePen() {
  HGDIOBJ previous = SelectObject(handle_, pen_.Handle());
  if (old_pen_ == nullptr) old_pen_ = previous;
  state_.Include(csPenValid);
}

void TCanvas::FontChanged() { state_.Exclude(csFontValid); }
void TCanvas::BrushChanged() { state_.Exclude(csBrushValid); }
void TCanvas::PenChanged() { state_.Exclude(csPenValid); }

void TCanvas::Changing() { Fire(OnChanging, this); }
void TCanvas::Changed() { Fire(OnChange, this); }

void TCanvas::SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }

void TCanvas::FillRect(const TRect& rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  const RECT r = ToRECT(rect);
  ::lumivane::FillRect(handle_, &r, brush_.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  const RECT r = ToRECT(rect);
  ::lumivane::FrameRect(handle_, &r, brush_.Handle());
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Changing();
  RequiredState({csHandleValid, csBrushValid, csPenValid});
  ::lumivane::Rectangle(handle_, left, top, right, bottom);
  Changed();
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState({csHandleValid});
  MoveToEx(handle_, x, y, nullptr);
  pen_pos_ = TPoint{x, y};
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  ::lumivane::LineTo(handle_, x, y);
  pen_pos_ = TPoint{x, y};
  Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  TextOutA(handle_, x, y, text.c_str(), static_cast<int>(text.size()));
  pen_pos_ = TPoint{x + TextWidth(text), y};
  Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  const int saved = SaveDC(handle_);
  try {
    IntersectClipRect(handle_, rect.Left, rect.Top, rect.Right, rect.Bottom);
    // An opaque brush fills the whole rectangle behind the text.
    if (brush_.Style() != bsClear) {
      const RECT r = ToRECT(rect);
      ::lumivane::FillRect(handle_, &r, brush_.Handle());
    }
    SetBkMode(handle_, TRANSPARENT);
    TextOutA(handle_, x, y, text.c_str(), static_cast<int>(text.size()));
  } catch (...) {
    RestoreDC(handle_, saved);
    throw;
  }
  RestoreDC(handle_, saved);
  // RestoreDC brings back what was selected at SaveDC time, which are the canvas's own objects.
  Changed();
}

int TCanvas::TextWidth(const std::string& text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE size{};
  GetTextExtentPoint32A(handle_, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

int TCanvas::TextHeight(const std::string& text) {
  RequiredState({csHandleValid, csFontValid});
  SIZE size{};
  GetTextExtentPoint32A(handle_, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cy;
}

void TCanvas::DrawFocusRect(const TRect& rect) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  const RECT r = ToRECT(rect);
  ::lumivane::DrawFocusRect(handle_, &r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& src) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  source.RequiredState({csHandleValid, csBrushValid});
  StretchBlt(handle_, dest.Left, dest.Top, dest.Width(), dest.Height(), source.handle_, src.Left, src.Top,
             src.Width(), src.Height(), copy_mode_);
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TCanvas& source, const TRect& src, TColor transparentColor) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  source.RequiredState({csHandleValid});
  TransparentBlt(handle_, dest.Left, dest.Top, dest.Width(), dest.Height(), source.handle_, src.Left, src.Top,
                 src.Width(), src.Height(), ColorToRGB(transparentColor));
  Changed();
}

TColor TCanvas::Pixels(int x, int y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(handle_, x, y));
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  SetPixel(handle_, x, y, ColorToRGB(color));
  Changed();
}

void TCanvas::Lock() {
  lock_.lock();
  ++lock_count_;
}

void TCanvas::Unlock() {
  --lock_count_;
  lock_.unlock();
}

bool TCanvas::TryLock() {
  if (!lock_.try_lock()) return false;
  ++lock_count_;
  return true;
}

}  // namespace lumivane
