#include "framework/control.h"

#include <QMetaObject>
#include <QWidget>
#include <algorithm>

#include "framework/application.h"
#include "framework/control_widget.h"
#include "framework/form.h"
#include "framework/win_control.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  ControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  font_.OnChange = [this](TObject*) {
    if (!applying_parent_font_) parent_font_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  BeginDestruction();
  if (parent_ != nullptr) parent_->RemoveControl(this);
  parent_ = nullptr;
  DestroyWidget();
  FreeBuffer();
  font_.OnChange = nullptr;
}

// ---- parent ---------------------------------------------------------------------------------

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (AParent == this) return;
  if (parent_ != nullptr) {
    TWinControl* old = parent_;
    old->RemoveControl(this);
    old->AlignControl(nullptr);
  }
  parent_ = AParent;
  if (parent_ != nullptr) {
    if (parent_font_) ParentFontChanged();
    if (parent_color_) ParentColorChanged();
    parent_->InsertControl(this);
  }
  ParentChanged();
}

void TControl::ParentChanged() {}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_ != nullptr) c = c->parent_;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

// ---- bounds ---------------------------------------------------------------------------------

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (auto_size_ && align_ != alClient) {
    int w = AWidth;
    int h = AHeight;
    if (CanAutoSize(w, h)) {
      if (align_ == alNone || align_ == alLeft || align_ == alRight) AWidth = w;
      if (align_ == alNone || align_ == alTop || align_ == alBottom) AHeight = h;
    }
  }
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  const bool sized = AWidth != width_ || AHeight != height_;
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  if (!anchor_move_) UpdateAnchorRules();
  ApplyGeometry();
  BoundsChanged(sized);
  RequestAlign();
}

void TControl::BoundsChanged(bool Sized) {
  if (Sized) Resize();
}

void TControl::SetClientWidth(int value) { SetWidth(width_ - ClientWidth() + value); }
void TControl::SetClientHeight(int value) { SetHeight(height_ - ClientHeight() + value); }

TPoint TControl::ClientToScreen(TPoint p) const {
  if (parent_ != nullptr) return parent_->ClientToScreen(TPoint{p.X + left_, p.Y + top_});
  if (const auto* form = dynamic_cast<const TForm*>(this)) {
    return TPoint{p.X + left_ + form->FrameLeft(), p.Y + top_ + form->FrameTop()};
  }
  return TPoint{p.X + left_, p.Y + top_};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint origin = ClientToScreen(TPoint{0, 0});
  return TPoint{p.X - origin.X, p.Y - origin.Y};
}

void TControl::RequestAlign() {
  if (parent_ != nullptr) parent_->AlignControl(this);
}

void TControl::UpdateAnchorRules() {
  if (parent_ == nullptr) return;
  anchor_parent_width_ = parent_->ClientWidth();
  anchor_parent_height_ = parent_->ClientHeight();
}

void TControl::ApplyAnchors(int parentWidth, int parentHeight) {
  const int dx = parentWidth - anchor_parent_width_;
  const int dy = parentHeight - anchor_parent_height_;
  if (dx == 0 && dy == 0) return;
  int l = left_, t = top_, w = width_, h = height_;
  if (anchors_.Contains(akRight)) {
    if (anchors_.Contains(akLeft))
      w += dx;
    else
      l += dx;
  } else if (!anchors_.Contains(akLeft)) {
    l += dx / 2;  // neither edge held: the control keeps its place relative to the centre
  }
  if (anchors_.Contains(akBottom)) {
    if (anchors_.Contains(akTop))
      h += dy;
    else
      t += dy;
  } else if (!anchors_.Contains(akTop)) {
    t += dy / 2;
  }
  anchor_parent_width_ = parentWidth;
  anchor_parent_height_ = parentHeight;
  anchor_move_ = true;
  try {
    SetBounds(l, t, w, h);
  } catch (...) {
    anchor_move_ = false;
    throw;
  }
  anchor_move_ = false;
}

// ---- visibility and layout ------------------------------------------------------------------

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  ApplyVisibility();
  RequestAlign();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  align_ = value;
  UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAnchors(TAnchors value) {
  if (value == anchors_) return;
  anchors_ = value;
  UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAutoSize(bool value) {
  if (value == auto_size_) return;
  auto_size_ = value;
  if (value) AdjustSize();
}

void TControl::AdjustSize() {
  if (!auto_size_) return;
  SetBounds(left_, top_, width_, height_);
}

void TControl::BringToFront() {
  if (parent_ == nullptr) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (widget_ != nullptr) widget_->raise();
  RequestAlign();
}

void TControl::SendToBack() {
  if (parent_ == nullptr) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  if (widget_ != nullptr) widget_->lower();
  RequestAlign();
}

// ---- appearance -----------------------------------------------------------------------------

void TControl::SetColor(TColor value) {
  parent_color_ = false;
  if (value == color_) return;
  color_ = value;
  ColorChanged();
}

void TControl::SetParentColor(bool value) {
  if (value == parent_color_) return;
  parent_color_ = value;
  if (value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!parent_color_ || parent_ == nullptr) return;
  if (parent_->Color() == color_) return;
  color_ = parent_->Color();
  ColorChanged();
}

void TControl::SetParentFont(bool value) {
  if (value == parent_font_) return;
  parent_font_ = value;
  if (value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parent_font_ || parent_ == nullptr) return;
  applying_parent_font_ = true;
  try {
    font_.AssignFrom(&parent_->Font());
  } catch (...) {
    applying_parent_font_ = false;
    throw;
  }
  applying_parent_font_ = false;
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  ApplyCursor();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (widget_ != nullptr) widget_->setEnabled(value);
  EnabledChanged();
}

void TControl::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  TextChanged();
}

void TControl::FontChanged() { Invalidate(); }
void TControl::ColorChanged() { Invalidate(); }
void TControl::TextChanged() { Invalidate(); }
void TControl::EnabledChanged() { Invalidate(); }

// ---- events ---------------------------------------------------------------------------------

void TControl::Click() { Fire(OnClick, this); }
void TControl::DblClick() { Fire(OnDblClick, this); }
void TControl::Resize() { Fire(OnResize, this); }

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Fire(OnMouseDown, this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) { Fire(OnMouseMove, this, Shift, X, Y); }
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Fire(OnMouseUp, this, Button, Shift, X, Y);
}

void TControl::DispatchMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool DoubleClick) {
  Application->Guard(this, [&] {
    if (DoubleClick) {
      Shift.Include(ssDouble);
      if (Button == mbLeft && ControlStyle.Contains(csDoubleClicks)) DblClick();
    } else if (Button == mbLeft && ControlStyle.Contains(csClickEvents)) {
      ControlState.Include(csClicked);
    }
    if (Button == mbLeft) ControlState.Include(csLButtonDown);
    MouseDown(Button, Shift, X, Y);
  });
}

void TControl::DispatchMouseMove(TShiftState Shift, int X, int Y) {
  Application->Guard(this, [&] { MouseMove(Shift, X, Y); });
}

bool TControl::DispatchMouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) {
  bool used = false;
  Application->Guard(this, [&] { used = MouseWheel(Shift, WheelDelta, X, Y); });
  return used;
}

void TControl::DispatchMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Application->Guard(this, [&] {
    if (Button == mbLeft) {
      ControlState.Exclude(csLButtonDown);
      if (ControlState.Contains(csClicked)) {
        ControlState.Exclude(csClicked);
        // A click counts only when the button goes up inside the control.
        if (ClientRect().Contains(TPoint{X, Y})) Click();
      }
    }
    MouseUp(Button, Shift, X, Y);
  });
}

// ---- painting -------------------------------------------------------------------------------

void TControl::Invalidate() {
  if (widget_ == nullptr) return;
  if (Application->IsMainThread()) {
    widget_->update();
  } else {
    QMetaObject::invokeMethod(
        widget_, [w = widget_] { w->update(); }, Qt::QueuedConnection);
  }
}

void TControl::Repaint() {
  if (widget_ == nullptr) return;
  if (Application->IsMainThread()) {
    widget_->repaint();
  } else {
    Invalidate();
  }
}

void TControl::Update() {
  if (widget_ != nullptr && Application->IsMainThread() && widget_->isVisible()) {
    widget_->repaint(widget_->visibleRegion());
  }
}

void TControl::PaintWindow(HDC) {}

void TControl::EraseBackground(HDC DC) {
  const TColor color = parent_ != nullptr ? parent_->Color() : color_;
  HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
  const RECT r{0, 0, ClientWidth(), ClientHeight()};
  FillRect(DC, &r, brush);
  DeleteObject(brush);
}

void TControl::EnsureBuffer(const TRect& Area) {
  const int w = Area.Width();
  const int h = Area.Height();
  if (paint_dc_ == nullptr || w != buffer_area_.Width() || h != buffer_area_.Height()) {
    FreeBuffer();
    if (w <= 0 || h <= 0) return;
    HDC screen = GetDC(nullptr);
    paint_bitmap_ = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    if (paint_bitmap_ == nullptr) return;
    paint_dc_ = CreateCompatibleDC(nullptr);
    paint_old_bitmap_ = SelectObject(paint_dc_, paint_bitmap_);
  }
  SetViewportOrgEx(paint_dc_, -Area.Left, -Area.Top, nullptr);
  buffer_area_ = Area;
}

void TControl::FreeBuffer() {
  std::lock_guard<std::recursive_mutex> guard(buffer_mutex_);
  if (paint_dc_ != nullptr) {
    SelectObject(paint_dc_, paint_old_bitmap_);
    DeleteDC(paint_dc_);
  }
  if (paint_bitmap_ != nullptr) DeleteObject(paint_bitmap_);
  paint_dc_ = nullptr;
  paint_bitmap_ = nullptr;
  paint_old_bitmap_ = nullptr;
  buffer_area_ = TRect{};
  buffer_fresh_ = false;
}

HBITMAP TControl::PaintToBuffer(const TRect& Area) {
  std::lock_guard<std::recursive_mutex> guard(buffer_mutex_);
  const TRect client = ClientArea();
  const TRect area{std::max(Area.Left, client.Left), std::max(Area.Top, client.Top),
                   std::min(Area.Right, client.Right), std::min(Area.Bottom, client.Bottom)};
  if (buffer_fresh_ && paint_dc_ != nullptr && buffer_area_ == area) {
    buffer_fresh_ = false;  // a thread painted it already
    return paint_bitmap_;
  }
  buffer_fresh_ = false;
  EnsureBuffer(area);
  if (paint_dc_ == nullptr) return nullptr;
  const int saved = SaveDC(paint_dc_);
  try {
    EraseBackground(paint_dc_);
    PaintWindow(paint_dc_);
  } catch (...) {
    RestoreDC(paint_dc_, saved);
    throw;
  }
  RestoreDC(paint_dc_, saved);
  return paint_bitmap_;
}

HDC TControl::AcquirePaintDC() {
  buffer_mutex_.lock();
  // The thread draws into the part the last paint showed (the whole client before any paint).
  EnsureBuffer(paint_dc_ != nullptr ? buffer_area_ : ClientArea());
  if (paint_dc_ == nullptr) {
    buffer_mutex_.unlock();
    return nullptr;
  }
  return paint_dc_;
}

void TControl::ReleasePaintDC(HDC DC) {
  if (DC == nullptr) return;
  buffer_fresh_ = true;
  buffer_mutex_.unlock();
  if (widget_ != nullptr) {
    QMetaObject::invokeMethod(
        widget_, [w = widget_] { w->update(); }, Qt::QueuedConnection);
  }
}

// ---- widget plumbing ------------------------------------------------------------------------

QWidget* TControl::Widget() const { return widget_; }

QWidget* TControl::MakeWidget(QWidget* parentWidget) { return new TControlWidget(this, parentWidget); }

void TControl::CreateWidget(QWidget* parentWidget) {
  if (widget_ != nullptr) return;
  widget_ = MakeWidget(parentWidget);
  widget_->setProperty("lumivane_control", QVariant::fromValue(reinterpret_cast<quintptr>(this)));
  widget_->setMouseTracking(true);
  widget_->setEnabled(enabled_);
  ApplyGeometry();
  ApplyCursor();
  ApplyVisibility();
}

void TControl::DestroyWidget() {
  if (widget_ == nullptr) return;
  QWidget* w = widget_;
  widget_ = nullptr;
  w->setProperty("lumivane_control", QVariant());
  if (auto* cw = dynamic_cast<TControlWidget*>(w)) cw->Detach();
  delete w;
}

void TControl::ApplyGeometry() {
  if (widget_ != nullptr) widget_->setGeometry(left_, top_, width_, height_);
}

void TControl::ApplyVisibility() {
  if (widget_ != nullptr) widget_->setVisible(visible_);
}

void TControl::ApplyCursor() {
  if (widget_ == nullptr) return;
  if (cursor_ == crDefault) {
    widget_->unsetCursor();
  } else {
    widget_->setCursor(CursorShapeFor(cursor_));
  }
}

}  // namespace lumivane
