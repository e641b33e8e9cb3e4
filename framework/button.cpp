#include "framework/button.h"

#include "framework/form.h"
#include "framework/panel.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

std::string StripAccelerator(const std::string& caption, char* accelerator) {
  std::string text;
  if (accelerator != nullptr) *accelerator = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != '&' && accelerator != nullptr && *accelerator == 0) {
        *accelerator = caption[i];
      }
    }
    text += caption[i];
  }
  return text;
}

TButton::TButton(TComponent* AOwner) : TCustomControl(AOwner) {
  TabStop = true;
  SetBounds(0, 0, 75, 25);
  SetColor(clBtnFace);
}

void TButton::Click() {
  if (ModalResult != mrNone) {
    if (TForm* form = ParentForm()) form->SetModalResult(ModalResult);
  }
  TCustomControl::Click();
}

void TButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_SPACE) {
    Key = 0;
    Click();
  }
}

void TButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    pressed_ = true;
    Invalidate();
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && pressed_) {
    pressed_ = false;
    Invalidate();
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TButton::Paint() {
  TCanvas& canvas = Canvas();
  TRect rect = ClientRect();
  if (Default || Focused()) Frame3D(canvas, rect, clBlack, clBlack, 1);
  if (pressed_) {
    Frame3D(canvas, rect, clBtnShadow, clBtnShadow, 1);
  } else {
    Frame3D(canvas, rect, clBtnHighlight, clBtnShadow, 1);
  }
  canvas.Brush().SetColor(Color());
  canvas.FillRect(rect);
  char accelerator = 0;
  const std::string text = StripAccelerator(Caption(), &accelerator);
  canvas.Brush().SetStyle(bsClear);
  canvas.RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
  if (pressed_) {
    ++r.left;
    ++r.top;
  }
  DrawTextA(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  if (Focused()) {
    canvas.Brush().SetColor(Color());
    canvas.DrawFocusRect(Rect(rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2));
  }
}

}  // namespace lumivane
