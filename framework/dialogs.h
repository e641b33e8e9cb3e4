#pragma once
// The program's modal dialogs; all go through the application's dialog service.
#include <string>

#include "framework/control_types.h"

namespace lumivane {

// Text, one "OK" button, no icon, caption = the application title, centred on the screen.
void ShowMessage(const std::string& Text);
// Caption "Confirm", question icon, "&Yes" (default) and "&No"; top-left at (X, Y) on each axis
// where the coordinate is >= 0, centred otherwise. Returns mrYes or mrNo (closing counts as No).
TModalResult ConfirmYesNo(const std::string& Text, int X, int Y);
// One-line edit prefilled with Default: OK returns the text, Cancel and Escape return Default.
std::string InputBox(const std::string& Caption, const std::string& Prompt, const std::string& Default);
// As InputBox; returns true on OK with the text in Value, false (Value unchanged) otherwise.
bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value);

}  // namespace lumivane
