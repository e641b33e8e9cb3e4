#pragma once
// The dialogs as Qt's standard message box and input dialog with the program's texts, in the main
// window's font (the toolkit's default is larger than the program's windows).
#include <QFont>

#include "framework/dialog_service.h"

namespace lumivane {

class TQtDialogService : public TDialogService {
 public:
  void MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) override;
  TModalResult ConfirmYesNo(const std::string& Caption, const std::string& Text, int X, int Y) override;
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override;

  // The font the dialogs use: the main form's, or the toolkit's default while there is none.
  static QFont DialogFont();
};

}  // namespace lumivane
