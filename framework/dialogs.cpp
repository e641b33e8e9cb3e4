#include "framework/dialogs.h"

#include "framework/application.h"

namespace lumivane {

void ShowMessage(const std::string& Text) {
  Application->DialogService().MessageBox(Application->Title(), Text, TDialogIcon::None);
}

TModalResult ConfirmYesNo(const std::string& Text, int X, int Y) {
  return Application->DialogService().ConfirmYesNo("Confirm", Text, X, Y);
}

bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
  return Application->DialogService().InputQuery(Caption, Prompt, Value);
}

std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default) {
  std::string value = Default;
  if (!InputQuery(Caption, Prompt, value)) return Default;
  return value;
}

}  // namespace lumivane
