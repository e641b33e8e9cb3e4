#include "framework/label.h"

#include "platform/gdi/gdi.h"

namespace lumivane {

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle.Include(csReplicatable);
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
  SetAutoSize(true);
}

void TLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

bool TLabel::CanAutoSize(int& NewWidth, int& NewHeight) {
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  // An empty caption keeps the height of one line.
  NewWidth = Caption().empty() ? 0 : canvas.TextWidth(Caption());
  NewHeight = canvas.TextHeight(Caption().empty() ? std::string(" ") : Caption());
  return true;
}

void TLabel::TextChanged() {
  AdjustSize();
  Invalidate();
}

void TLabel::FontChanged() {
  AdjustSize();
  Invalidate();
}

void TLabel::Paint() {
  TCanvas& canvas = Canvas();
  if (!transparent_) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(ClientRect());
  }
  canvas.Brush().SetStyle(bsClear);
  canvas.RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  UINT format = DT_SINGLELINE | DT_NOPREFIX;
  format |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawTextA(canvas.Handle(), Caption().c_str(), static_cast<int>(Caption().size()), &r, format);
}

}  // namespace lumivane
