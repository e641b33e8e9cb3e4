#include "app/help_window.h"

#include "framework/application.h"
#include "framework/button.h"
#include "framework/label.h"

namespace lumivane {

namespace {
struct HelpLine {
  int label;  // the label's number
  int x;
  int y;
  const char* text;
};

// Two columns, rows every 16 pixels from y = 28.
constexpr HelpLine kHelpLines[] = {
    {2, 8, 28, "F1 - Help"},
    {3, 8, 44, "F2 - Rename file"},
    {4, 8, 60, "F3 - Slide show - Interval"},
    {5, 8, 76, "F4 - Slide Show - Start / Stop"},
    {6, 8, 92, "F5 - Select Directory to copy / move"},
    {7, 8, 108, "F6 - Copy file"},
    {8, 8, 124, "F7 - Move file"},
    {9, 8, 140, "F8 - Stretch True / False"},
    {10, 8, 156, "F9 - Reduce Window"},
    {11, 8, 172, "F10 - Maximize Window"},
    {12, 8, 188, "F11 - Reduce Window step by step"},
    {13, 8, 204, "F12 - Maximize step by step"},
    {26, 8, 220, "Ctrl R - Refresh File List"},
    {27, 8, 236, "Ctrl S - File Size - Hide / Show"},
    {24, 192, 28, "Arrow Dn - Next Image"},
    {25, 192, 44, "Arrow Up - Previous Image"},
    {14, 192, 60, "PgDn - Next Image"},
    {15, 192, 76, "PgUp - Previous Image"},
    {16, 192, 92, "Home - First Image"},
    {17, 192, 108, "End - Last Image"},
    {18, 192, 124, "+  Zoon In"},
    {19, 192, 140, "-  Zoon Out"},
    {20, 192, 156, "Del - Delete file"},
    {21, 192, 172, "Dbl-click in image - Hide / Show Dir."},
    {22, 192, 188, "Click + Drag image - Move image"},
    {23, 192, 204, "Click in Splitter - Resize panel"},
    {28, 192, 220, "Ctrl T - Bottom Refresh"},
    {29, 192, 236, "Ctrl B - Bottom Refresh with timer"},
};
}  // namespace

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
  SetName("Form2");
  SetCaption("Lumivane");
  SetBorderStyle(bsSingle);
  SetColor(clBtnFace);
  SetBounds(0, 0, 375, 292);
  SetClientWidth(375);
  SetClientHeight(292);

  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(this);
  Label1->SetBounds(164, 0, 40, 24);
  Label1->Font().SetName("MS Sans Serif");
  Label1->Font().SetHeight(-19);
  Label1->SetCaption("Help");

  Labels.assign(30, nullptr);
  for (const HelpLine& line : kHelpLines) {
    auto* label = new TLabel(this);
    label->SetName("Label" + std::to_string(line.label));
    label->SetParent(this);
    label->SetAutoSize(false);
    label->SetBounds(line.x, line.y, 180, 14);
    label->Font().SetName("Arial");
    label->Font().SetHeight(-11);
    label->SetCaption(line.text);
    Labels[static_cast<size_t>(line.label)] = label;
  }

  cmdOk = new TButton(this);
  cmdOk->SetName("cmdOk");
  cmdOk->SetParent(this);
  cmdOk->SetBounds(152, 260, 75, 25);
  cmdOk->SetCaption("&Ok");
  cmdOk->Default = true;
  cmdOk->SetTabOrder(0);
  cmdOk->OnClick = [this](TObject* s) { cmdOkClick(s); };

  OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm2::FormShow(TObject*) {
  TForm* main = MainWindow != nullptr ? MainWindow : Application->MainForm();
  if (main == nullptr) return;
  SetTop(main->Top() + (main->Height() - Height()) / 2);
  SetLeft(main->Left() + (main->Width() - Width()) / 2);
}

void TForm2::cmdOkClick(TObject*) { Close(); }

}  // namespace lumivane
