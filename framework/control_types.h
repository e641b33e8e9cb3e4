#pragma once
// Small value types and event signatures shared by the controls, forms and the application.
#include <cstdint>
#include <functional>
#include <string>

#include "framework/object.h"
#include "framework/set.h"

namespace lumivane {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftStateKind { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateKind>;

// Control style flags (what a control does with the mouse and how it paints).
enum TControlStyleKind {
  csAcceptsControls,
  csCaptureMouse,
  csClickEvents,
  csDoubleClicks,
  csOpaque,
  csReplicatable,
  csSetCaption,
};
using TControlStyle = TSet<TControlStyleKind>;

// Transient control state.
enum TControlStateKind {
  csLButtonDown,
  csClicked,
  csPaintCopy,  // the control is being painted as a copy into another control's device context
  csFocusing,
  csAligning,
};
using TControlState = TSet<TControlStateKind>;

// Mouse cursors: values below zero are the stock cursors.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

// Results of modal forms and dialogs.
using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// Event signatures (sender first).
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Key is the 16-bit virtual-key code; setting it to 0 consumes the key.
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
// Key is the 8-bit character; setting it to 0 consumes it.
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

// Virtual-key codes.
inline constexpr uint16_t VK_BACK = 8;
inline constexpr uint16_t VK_TAB = 9;
inline constexpr uint16_t VK_RETURN = 13;
inline constexpr uint16_t VK_SHIFT = 16;
inline constexpr uint16_t VK_CONTROL = 17;
inline constexpr uint16_t VK_MENU = 18;
inline constexpr uint16_t VK_PAUSE = 19;
inline constexpr uint16_t VK_CAPITAL = 20;
inline constexpr uint16_t VK_ESCAPE = 27;
inline constexpr uint16_t VK_SPACE = 32;
inline constexpr uint16_t VK_PRIOR = 33;
inline constexpr uint16_t VK_NEXT = 34;
inline constexpr uint16_t VK_END = 35;
inline constexpr uint16_t VK_HOME = 36;
inline constexpr uint16_t VK_LEFT = 37;
inline constexpr uint16_t VK_UP = 38;
inline constexpr uint16_t VK_RIGHT = 39;
inline constexpr uint16_t VK_DOWN = 40;
inline constexpr uint16_t VK_INSERT = 45;
inline constexpr uint16_t VK_DELETE = 46;
inline constexpr uint16_t VK_NUMPAD0 = 96;
inline constexpr uint16_t VK_MULTIPLY = 106;
inline constexpr uint16_t VK_ADD = 107;
inline constexpr uint16_t VK_SUBTRACT = 109;
inline constexpr uint16_t VK_DECIMAL = 110;
inline constexpr uint16_t VK_DIVIDE = 111;
inline constexpr uint16_t VK_F1 = 112;
inline constexpr uint16_t VK_F12 = 123;
inline constexpr uint16_t VK_NUMLOCK = 144;
inline constexpr uint16_t VK_SCROLL = 145;
inline constexpr uint16_t VK_OEM_1 = 186;
inline constexpr uint16_t VK_OEM_PLUS = 187;
inline constexpr uint16_t VK_OEM_COMMA = 188;
inline constexpr uint16_t VK_OEM_MINUS = 189;
inline constexpr uint16_t VK_OEM_PERIOD = 190;
inline constexpr uint16_t VK_OEM_2 = 191;
inline constexpr uint16_t VK_OEM_3 = 192;
inline constexpr uint16_t VK_OEM_4 = 219;
inline constexpr uint16_t VK_OEM_5 = 220;
inline constexpr uint16_t VK_OEM_6 = 221;
inline constexpr uint16_t VK_OEM_7 = 222;

}  // namespace lumivane
