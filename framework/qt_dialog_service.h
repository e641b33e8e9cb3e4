#pragma once
// The dialogs as Qt's standard message box and input dialog with the program's texts.
#include "framework/dialog_service.h"

namespace lumivane {

class TQtDialogService : public TDialogService {
 public:
  void MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) override;
  TModalResult ConfirmYesNo(const std::string& Caption, const std::string& Text, int X, int Y) override;
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override;
};

}  // namespace lumivane
