#include "framework/panel.h"

#include "platform/gdi/gdi.h"

namespace lumivane {

void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width) {
  TBrush& brush = canvas.Brush();
  const TColor saved = brush.Color();
  for (int i = 0; i < width && !rect.IsEmpty(); ++i) {
    brush.SetColor(topColor);
    canvas.FillRect(Rect(rect.Left, rect.Top, rect.Right, rect.Top + 1));
    canvas.FillRect(Rect(rect.Left, rect.Top, rect.Left + 1, rect.Bottom));
    brush.SetColor(bottomColor);
    canvas.FillRect(Rect(rect.Left, rect.Bottom - 1, rect.Right, rect.Bottom));
    canvas.FillRect(Rect(rect.Right - 1, rect.Top, rect.Right, rect.Bottom));
    rect = Rect(rect.Left + 1, rect.Top + 1, rect.Right - 1, rect.Bottom - 1);
  }
  brush.SetColor(saved);
}

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle.Include(csAcceptsControls);
  ControlStyle.Include(csOpaque);
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TPanel::BevelsChanged() {
  Realign();
  Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
  if (value == bevel_outer_) return;
  bevel_outer_ = value;
  BevelsChanged();
}

void TPanel::SetBevelInner(TBevelCut value) {
  if (value == bevel_inner_) return;
  bevel_inner_ = value;
  BevelsChanged();
}

void TPanel::SetBevelWidth(int value) {
  if (value == bevel_width_) return;
  bevel_width_ = value;
  BevelsChanged();
}

void TPanel::SetBorderWidth(int value) {
  if (value == border_width_) return;
  border_width_ = value;
  BevelsChanged();
}

void TPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TPanel::AdjustClientRect(TRect& rect) {
  int inset = border_width_;
  if (bevel_outer_ != bvNone) inset += bevel_width_;
  if (bevel_inner_ != bvNone) inset += bevel_width_;
  rect = Rect(rect.Left + inset, rect.Top + inset, rect.Right - inset, rect.Bottom - inset);
}

void TPanel::Paint() {
  TCanvas& canvas = Canvas();
  TRect rect = ClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    const bool lowered = cut == bvLowered;
    const TColor top = lowered ? clBtnShadow : clBtnHighlight;
    const TColor bottom = lowered ? clBtnHighlight : clBtnShadow;
    if (cut == bvSpace) {
      Frame3D(canvas, rect, Color(), Color(), bevel_width_);
    } else {
      Frame3D(canvas, rect, top, bottom, bevel_width_);
    }
  };
  bevel(bevel_outer_);
  Frame3D(canvas, rect, Color(), Color(), border_width_);
  bevel(bevel_inner_);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(rect);
  if (Caption().empty()) return;
  canvas.Brush().SetStyle(bsClear);
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  UINT format = DT_SINGLELINE | DT_VCENTER;
  format |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  canvas.RequiredState({csHandleValid, csFontValid, csBrushValid});
  DrawTextA(canvas.Handle(), Caption().c_str(), static_cast<int>(Caption().size()), &r, format);
}

}  // namespace lumivane
