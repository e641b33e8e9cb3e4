#include "framework/win_control.h"

#include <QWidget>
#include <algorithm>

#include "framework/form.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

// Whether C1 goes before C2 in an alignment group (the order of the classic layout rules).
bool InsertBefore(const TControl* c1, const TControl* c2, TAlign align) {
  switch (align) {
    case alTop:
      return c1->Top() < c2->Top();
    case alBottom:
      return c1->Top() + c1->Height() >= c2->Top() + c2->Height();
    case alLeft:
      return c1->Left() < c2->Left();
    case alRight:
      return c1->Left() + c1->Width() >= c2->Left() + c2->Width();
    default:
      return false;
  }
}

}  // namespace

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  BeginDestruction();
  // Children go with their parent, whoever owns them.
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    delete child;  // its destructor removes it from controls_
  }
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c != nullptr; c = c->Parent()) {
    if (c == this) return true;
  }
  return false;
}

// ---- children -------------------------------------------------------------------------------

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->UpdateAnchorRules();
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    if (win->tab_order_ < 0) {
      int windowed = 0;
      for (TControl* c : controls_) windowed += dynamic_cast<TWinControl*>(c) != nullptr ? 1 : 0;
      win->tab_order_ = windowed - 1;
    }
    if (widget_ != nullptr) win->HandleNeeded();
  } else if (widget_ != nullptr) {
    control->CreateWidget(widget_);
  }
  AlignControl(control);
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (TForm* form = ParentForm(); form != nullptr && form->active_control_ != nullptr) {
    if (form->active_control_ == control ||
        (dynamic_cast<TWinControl*>(control) != nullptr &&
         static_cast<TWinControl*>(control)->ContainsControl(form->active_control_))) {
      form->active_control_ = nullptr;
    }
  }
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    win->DestroyWnd();
  } else {
    control->DestroyWidget();
  }
}

// ---- window ---------------------------------------------------------------------------------

void TWinControl::HandleNeeded() {
  if (widget_ != nullptr || creating_wnd_) return;
  if (Parent() != nullptr) Parent()->HandleNeeded();  // creates this one's widget as well
  if (widget_ == nullptr) CreateWnd();
}

QWidget* TWinControl::Widget() {
  HandleNeeded();
  return widget_;
}

void TWinControl::CreateWnd() {
  if (widget_ != nullptr) return;
  creating_wnd_ = true;
  try {
    QWidget* parentWidget = Parent() != nullptr ? Parent()->Widget() : nullptr;
    CreateWidget(parentWidget);
    widget_->setFocusPolicy(TabStop ? Qt::StrongFocus : Qt::NoFocus);
    CreateChildWidgets();
  } catch (...) {
    creating_wnd_ = false;
    throw;
  }
  creating_wnd_ = false;
}

void TWinControl::CreateChildWidgets() {
  // Windowless children lie below the windowed ones, so they are made first.
  for (TControl* c : controls_) {
    if (dynamic_cast<TWinControl*>(c) == nullptr) c->CreateWidget(widget_);
  }
  for (TControl* c : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(c)) win->HandleNeeded();
  }
  ApplyTabOrder();
}

void TWinControl::DestroyWnd() {
  for (TControl* c : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(c)) {
      win->DestroyWnd();
    } else {
      c->DestroyWidget();
    }
  }
  DestroyWidget();
}

void TWinControl::RecreateWnd() {
  if (widget_ == nullptr) return;
  DestroyWnd();
  HandleNeeded();
}

// ---- focus ----------------------------------------------------------------------------------

void TWinControl::SetTabOrder(int value) {
  tab_order_ = value;
  if (Parent() != nullptr) Parent()->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder() {
  if (widget_ == nullptr) return;
  std::vector<TWinControl*> order;
  for (TControl* c : controls_) {
    if (auto* win = dynamic_cast<TWinControl*>(c); win != nullptr && win->widget_ != nullptr) {
      order.push_back(win);
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const TWinControl* a, const TWinControl* b) { return a->tab_order_ < b->tab_order_; });
  for (size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1]->widget_, order[i]->widget_);
  }
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled()) return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  TForm* form = ParentForm();
  if (form != nullptr && form != this) form->SetActiveControl(this);
  if (widget_ != nullptr && CanFocus()) widget_->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
  const TForm* form = ParentForm();
  if (form == nullptr) return false;
  if (form == this) return form->ActiveControl() == nullptr;
  return form->ActiveControl() == this;
}

void TWinControl::DoEnter() { Fire(OnEnter, this); }
void TWinControl::DoExit() { Fire(OnExit, this); }

// ---- keys -----------------------------------------------------------------------------------

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) { Fire(OnKeyDown, this, Key, Shift); }
void TWinControl::KeyPress(char& Key) { Fire(OnKeyPress, this, Key); }
void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) { Fire(OnKeyUp, this, Key, Shift); }

bool TWinControl::DispatchKeyDown(uint16_t& Key, TShiftState Shift) {
  KeyDown(Key, Shift);
  return Key == 0;
}

bool TWinControl::DispatchKeyPress(char& Key) {
  KeyPress(Key);
  return Key == 0;
}

bool TWinControl::DispatchKeyUp(uint16_t& Key, TShiftState Shift) {
  KeyUp(Key, Shift);
  return Key == 0;
}

// ---- alignment ------------------------------------------------------------------------------

void TWinControl::DisableAlign() { ++align_level_; }

void TWinControl::EnableAlign() {
  --align_level_;
  if (align_level_ == 0 && align_needed_) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* AControl) {
  if (Destroying()) return;
  if (align_level_ != 0) {
    align_needed_ = true;
    return;
  }
  DisableAlign();
  try {
    TRect rect = ClientRect();
    AlignControls(AControl, rect);
  } catch (...) {
    align_needed_ = false;
    EnableAlign();
    throw;
  }
  // Requests made by the children while they were placed are answered by this pass.
  align_needed_ = false;
  EnableAlign();
}

bool TWinControl::NeedsAlignPass() const {
  const TAnchors plain{akLeft, akTop};
  for (const TControl* c : controls_) {
    if (c->Align() != alNone || c->Anchors() != plain) return true;
  }
  return false;
}

void TWinControl::AdjustClientRect(TRect&) {}

void TWinControl::AlignControls(TControl* AControl, TRect& rect) {
  if (!NeedsAlignPass()) return;
  AdjustClientRect(rect);

  auto place = [&](TControl* c, TAlign align) {
    int left = rect.Left, top = rect.Top, width = rect.Width(), height = rect.Height();
    switch (align) {
      case alTop:
        height = c->Height();
        break;
      case alBottom:
        height = c->Height();
        top = rect.Bottom - height;
        break;
      case alLeft:
        width = c->Width();
        break;
      case alRight:
        width = c->Width();
        left = rect.Right - width;
        break;
      default:
        break;
    }
    c->anchor_move_ = true;
    try {
      c->SetBounds(left, top, width, height);
    } catch (...) {
      c->anchor_move_ = false;
      throw;
    }
    c->anchor_move_ = false;
    // The space the control really took (auto-size may have changed its size).
    switch (align) {
      case alTop:
        rect.Top += c->Height();
        break;
      case alBottom:
        rect.Bottom -= c->Height();
        break;
      case alLeft:
        rect.Left += c->Width();
        break;
      case alRight:
        rect.Right -= c->Width();
        break;
      default:
        break;
    }
  };

  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> group;
    if (AControl != nullptr && AControl->Align() == align && AControl->Visible()) {
      group.push_back(AControl);
    }
    for (TControl* c : controls_) {
      if (c == AControl || c->Align() != align || !c->Visible()) continue;
      size_t j = 0;
      while (j < group.size() && !InsertBefore(c, group[j], align)) ++j;
      group.insert(group.begin() + static_cast<std::ptrdiff_t>(j), c);
    }
    for (TControl* c : group) place(c, align);
  }

  // Anchored controls keep their distances to the edges they hold.
  const TAnchors plain{akLeft, akTop};
  const int parentWidth = ClientWidth();
  const int parentHeight = ClientHeight();
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children) {
    if (c->Align() == alNone && c->Anchors() != plain) c->ApplyAnchors(parentWidth, parentHeight);
  }
}

void TWinControl::BoundsChanged(bool Sized) {
  if (!Sized) return;
  Realign();
  Resize();
}

// ---- appearance -----------------------------------------------------------------------------

void TWinControl::EraseBackground(HDC DC) {
  HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
  const RECT r{0, 0, ClientWidth(), ClientHeight()};
  FillRect(DC, &r, brush);
  DeleteObject(brush);
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : controls_) c->ParentFontChanged();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* c : controls_) c->ParentColorChanged();
}

void TWinControl::EnabledChanged() { TControl::EnabledChanged(); }

}  // namespace lumivane
