#include "framework/key_mapping.h"

#include <QKeyEvent>

namespace lumivane {

uint16_t VirtualKeyForQtKey(int qtKey, bool keypad) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>(qtKey);  // 'A'..'Z'
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
    return static_cast<uint16_t>(keypad ? VK_NUMPAD0 + (qtKey - Qt::Key_0) : qtKey);
  }
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
    return static_cast<uint16_t>(VK_F1 + (qtKey - Qt::Key_F1));
  }
  switch (qtKey) {
    case Qt::Key_Plus:
      return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus:
      return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Asterisk:
      return keypad ? VK_MULTIPLY : uint16_t{'8'};
    case Qt::Key_Slash:
      return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Period:
      return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma:
      return VK_OEM_COMMA;
    case Qt::Key_Equal:
      return VK_OEM_PLUS;
    case Qt::Key_Semicolon:
      return VK_OEM_1;
    case Qt::Key_QuoteLeft:
      return VK_OEM_3;
    case Qt::Key_BracketLeft:
      return VK_OEM_4;
    case Qt::Key_Backslash:
      return VK_OEM_5;
    case Qt::Key_BracketRight:
      return VK_OEM_6;
    case Qt::Key_Apostrophe:
      return VK_OEM_7;
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Pause:
      return VK_PAUSE;
    case Qt::Key_CapsLock:
      return VK_CAPITAL;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_NumLock:
      return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
      return VK_SCROLL;
    default:
      return 0;
  }
}

TShiftState ShiftStateForKeyEvent(const QKeyEvent& event) {
  TShiftState shift;
  const Qt::KeyboardModifiers m = event.modifiers();
  if (m & Qt::ShiftModifier) shift.Include(ssShift);
  if (m & Qt::ControlModifier) shift.Include(ssCtrl);
  if (m & Qt::AltModifier) shift.Include(ssAlt);
  return shift;
}

char CharacterForKey(uint16_t virtualKey, TShiftState shift, const QKeyEvent& event) {
  if (shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
    // Ctrl+letter: the control character comes from the key code, never from the text.
    if (virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<char>(virtualKey - 'A' + 1);
  }
  switch (virtualKey) {
    case VK_RETURN:
      return 13;
    case VK_ESCAPE:
      return 27;
    case VK_BACK:
      return 8;
    case VK_TAB:
      return 9;
    default:
      break;
  }
  if (shift.Contains(ssCtrl)) return 0;
  const QString text = event.text();
  if (text.isEmpty()) return 0;
  const char16_t code = text.at(0).unicode();
  if (code == 0 || code > 0xFF || code == 0x7F) return 0;
  return static_cast<char>(code);
}

}  // namespace lumivane
