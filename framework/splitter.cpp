#include "framework/splitter.h"

#include <QWidget>

#include "framework/win_control.h"

namespace lumivane {

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
  SetParentColor(true);
}

TControl* TSplitter::FindControl() const {
  if (Parent() == nullptr) return nullptr;
  TPoint p{Left(), Top()};
  switch (Align()) {
    case alLeft:
      --p.X;
      break;
    case alRight:
      p.X += Width();
      break;
    case alTop:
      --p.Y;
      break;
    case alBottom:
      p.Y += Height();
      break;
    default:
      return nullptr;
  }
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    TRect r = c->BoundsRect();
    // A control of no width or height still counts as touching the splitter.
    if (r.Width() == 0) {
      if (Align() == alLeft || Align() == alTop)
        --r.Left;
      else
        ++r.Right;
    }
    if (r.Height() == 0) {
      if (Align() == alLeft || Align() == alTop)
        --r.Top;
      else
        ++r.Bottom;
    }
    if (r.Contains(p)) return c;
  }
  return nullptr;
}

void TSplitter::Paint() {
  Canvas().Brush().SetColor(Color());
  Canvas().FillRect(ClientRect());
}

int TSplitter::CalcNewSize(int X, int Y) const {
  int split = 0;
  switch (Align()) {
    case alLeft:
      split = X - down_x_;
      break;
    case alRight:
      split = down_x_ - X;
      break;
    case alTop:
      split = Y - down_y_;
      break;
    case alBottom:
      split = down_y_ - Y;
      break;
    default:
      break;
  }
  const int current = Vertical() ? control_->Width() : control_->Height();
  const int size = current + split;
  if (size < MinSize) return MinSize;
  if (size > max_size_) return max_size_;
  return size;
}

void TSplitter::ApplySize(int size) {
  if (control_ == nullptr) return;
  const int current = Vertical() ? control_->Width() : control_->Height();
  if (size == current) return;
  if (Vertical()) {
    control_->SetWidth(size);
  } else {
    control_->SetHeight(size);
  }
  Fire(OnMoved, this);
}

void TSplitter::ShowBar(int size) {
  QWidget* parentWidget = Parent() != nullptr ? Parent()->Widget() : nullptr;
  if (parentWidget == nullptr || control_ == nullptr) return;
  if (bar_ == nullptr) {
    bar_ = new QWidget(parentWidget);
    bar_->setAutoFillBackground(true);
    QPalette palette = bar_->palette();
    palette.setColor(QPalette::Window, Qt::darkGray);
    bar_->setPalette(palette);
  }
  switch (Align()) {
    case alLeft:
      bar_->setGeometry(control_->Left() + size, Top(), Width(), Height());
      break;
    case alRight:
      bar_->setGeometry(control_->Left() + control_->Width() - size - Width(), Top(), Width(), Height());
      break;
    case alTop:
      bar_->setGeometry(Left(), control_->Top() + size, Width(), Height());
      break;
    default:
      bar_->setGeometry(Left(), control_->Top() + control_->Height() - size - Height(), Width(), Height());
      break;
  }
  bar_->raise();
  bar_->show();
}

void TSplitter::HideBar() {
  delete bar_;
  bar_ = nullptr;
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  control_ = FindControl();
  if (control_ == nullptr) return;
  down_x_ = X;
  down_y_ = Y;
  // The control may take what the other side-aligned controls leave, less MinSize.
  max_size_ = (Vertical() ? Parent()->ClientWidth() : Parent()->ClientHeight()) - MinSize;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    TControl* c = Parent()->Controls(i);
    if (!c->Visible()) continue;
    if (Vertical() && (c->Align() == alLeft || c->Align() == alRight)) max_size_ -= c->Width();
    if (!Vertical() && (c->Align() == alTop || c->Align() == alBottom)) max_size_ -= c->Height();
  }
  max_size_ += Vertical() ? control_->Width() : control_->Height();
  old_size_ = Vertical() ? control_->Width() : control_->Height();
  new_size_ = old_size_;
  dragging_ = true;
  if (ResizeStyle != rsUpdate && ResizeStyle != rsNone) ShowBar(new_size_);
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_ || control_ == nullptr) return;
  new_size_ = CalcNewSize(X, Y);
  if (ResizeStyle == rsUpdate) {
    ApplySize(new_size_);
  } else if (ResizeStyle != rsNone) {
    ShowBar(new_size_);
  }
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (dragging_) {
    dragging_ = false;
    HideBar();
    if (control_ != nullptr) new_size_ = CalcNewSize(X, Y);
    if (ResizeStyle != rsUpdate) ApplySize(new_size_);
    control_ = nullptr;
  }
  TGraphicControl::MouseUp(Button, Shift, X, Y);
}

}  // namespace lumivane
