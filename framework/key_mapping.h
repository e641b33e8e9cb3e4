#pragma once
// Qt keys to virtual-key codes and characters.
#include <cstdint>

#include "framework/control_types.h"

class QKeyEvent;

namespace lumivane {

// The virtual-key code of a Qt key (Qt::Key value); `keypad` tells that it came from the numeric
// keypad (keypad + and - are 107 and 109, the main keyboard's are 187 and 189). 0 when none.
uint16_t VirtualKeyForQtKey(int qtKey, bool keypad);
// The character a key produces for the key-press events: with Control held a letter gives the
// control character 1-26, derived from the key code; otherwise the event's text (8-bit), and for
// Enter, Escape, Backspace and Tab their control codes. 0 when the key produces no character.
char CharacterForKey(uint16_t virtualKey, TShiftState shift, const QKeyEvent& event);
TShiftState ShiftStateForKeyEvent(const QKeyEvent& event);

}  // namespace lumivane
