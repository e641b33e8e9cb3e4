#include "framework/scripted_dialog_service.h"

namespace lumivane {

void TScriptedDialogService::MessageBox(const std::string& Caption, const std::string& Text,
                                        TDialogIcon Icon) {
  TShownDialog shown;
  shown.Kind = TDialogKind::MessageBox;
  shown.Caption = Caption;
  shown.Text = Text;
  shown.Icon = Icon;
  shown_.push_back(shown);
}

TModalResult TScriptedDialogService::ConfirmYesNo(const std::string& Caption, const std::string& Text, int X,
                                                  int Y) {
  TShownDialog shown;
  shown.Kind = TDialogKind::ConfirmYesNo;
  shown.Caption = Caption;
  shown.Text = Text;
  shown.Icon = TDialogIcon::Question;
  shown.X = X;
  shown.Y = Y;
  shown_.push_back(shown);
  if (confirms_.empty()) return mrNo;
  const TModalResult answer = confirms_.front();
  confirms_.pop_front();
  return answer == mrYes ? mrYes : mrNo;
}

bool TScriptedDialogService::InputQuery(const std::string& Caption, const std::string& Prompt,
                                        std::string& Value) {
  TShownDialog shown;
  shown.Kind = TDialogKind::InputQuery;
  shown.Caption = Caption;
  shown.Text = Prompt;
  shown.DefaultText = Value;
  shown_.push_back(shown);
  if (inputs_.empty()) return false;
  std::optional<std::string> answer = std::move(inputs_.front());
  inputs_.pop_front();
  if (!answer) return false;
  Value = *answer;
  return true;
}

void TScriptedDialogService::Clear() {
  shown_.clear();
  confirms_.clear();
  inputs_.clear();
}

}  // namespace lumivane
