#pragma once
// The modal dialogs the program shows, behind one replaceable interface: the default shows Qt's
// standard dialogs; tests install a scripted double (TScriptedDialogService).
#include <string>

#include "framework/control_types.h"

namespace lumivane {

enum class TDialogIcon { None, Error, Warning, Information, Question };

class TDialogService {
 public:
  virtual ~TDialogService() = default;

  // A box with one "OK" button, centred on the screen; returns when closed.
  virtual void MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) = 0;
  // A Yes/No box: question icon, "&Yes" the default button, Escape and closing answer No. Its
  // top-left corner is at (X, Y) on each axis where the coordinate is >= 0; centred on the screen
  // on the others. Returns mrYes or mrNo.
  virtual TModalResult ConfirmYesNo(const std::string& Caption, const std::string& Text, int X, int Y) = 0;
  // A box with a prompt and a one-line edit prefilled with Value, buttons "OK" and "Cancel".
  // Returns true and the edited text in Value on OK; false and Value unchanged on Cancel/Escape.
  virtual bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) = 0;
};

}  // namespace lumivane
