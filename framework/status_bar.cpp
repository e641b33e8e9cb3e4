#include "framework/status_bar.h"

#include "framework/panel.h"

namespace lumivane {

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 0, 19);
  SetAlign(alBottom);
}

void TStatusBar::SetSimplePanel(bool value) {
  if (value == simple_panel_) return;
  simple_panel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& value) {
  if (value == simple_text_) return;
  simple_text_ = value;
  Invalidate();
}

TRect TStatusBar::PanelRect(int index) const {
  int left = 0;
  for (int i = 0; i < index; ++i) left += panels_.Items(i)->Width();
  const bool last = index == panels_.Count() - 1;
  const int right = last ? std::max(ClientWidth(), left) : left + panels_.Items(index)->Width();
  return Rect(left, 2, right, ClientHeight());
}

void TStatusBar::DrawPanelText(const TRect& rect, const std::string& text, TAlignment alignment) {
  TCanvas& canvas = Canvas();
  TRect inner = rect;
  Frame3D(canvas, inner, clBtnShadow, clBtnHighlight, 1);
  canvas.Brush().SetColor(Color());
  const int width = canvas.TextWidth(text);
  int x = inner.Left + 2;
  if (alignment == taCenter) x = inner.Left + (inner.Width() - width) / 2;
  if (alignment == taRightJustify) x = inner.Right - width - 2;
  const int y = inner.Top + (inner.Height() - canvas.TextHeight(text)) / 2;
  canvas.TextRect(inner, x, y, text);
}

void TStatusBar::Paint() {
  TCanvas& canvas = Canvas();
  canvas.Brush().SetColor(Color());
  canvas.FillRect(ClientRect());
  if (simple_panel_) {
    DrawPanelText(Rect(0, 2, ClientWidth(), ClientHeight()), simple_text_, taLeftJustify);
    return;
  }
  for (int i = 0; i < panels_.Count(); ++i) {
    TRect rect = PanelRect(i);
    // Each panel but the last leaves a two-pixel gap before the next.
    if (i < panels_.Count() - 1) rect.Right -= 2;
    const TStatusPanel* panel = panels_.Items(i);
    DrawPanelText(rect, panel->Text(), panel->Alignment());
  }
}

}  // namespace lumivane
