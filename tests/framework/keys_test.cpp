// Key routing: virtual-key mapping, the form's preview, consumed keys, dialog keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "framework/button.h"
#include "framework/form.h"
#include "framework/key_mapping.h"
#include "framework/panel.h"

namespace lumivane {
namespace {

TEST(KeyMapping, QtKeysBecomeVirtualKeyCodes) {
  EXPECT_EQ(VK_ADD, VirtualKeyForQtKey(Qt::Key_Plus, true));
  EXPECT_EQ(VK_SUBTRACT, VirtualKeyForQtKey(Qt::Key_Minus, true));
  EXPECT_EQ(VK_OEM_PLUS, VirtualKeyForQtKey(Qt::Key_Plus, false));
  EXPECT_EQ(VK_OEM_MINUS, VirtualKeyForQtKey(Qt::Key_Minus, false));
  EXPECT_EQ(33, VirtualKeyForQtKey(Qt::Key_PageUp, false));
  EXPECT_EQ(34, VirtualKeyForQtKey(Qt::Key_PageDown, false));
  EXPECT_EQ(35, VirtualKeyForQtKey(Qt::Key_End, false));
  EXPECT_EQ(36, VirtualKeyForQtKey(Qt::Key_Home, false));
  EXPECT_EQ(37, VirtualKeyForQtKey(Qt::Key_Left, false));
  EXPECT_EQ(40, VirtualKeyForQtKey(Qt::Key_Down, false));
  EXPECT_EQ(46, VirtualKeyForQtKey(Qt::Key_Delete, false));
  EXPECT_EQ(112, VirtualKeyForQtKey(Qt::Key_F1, false));
  EXPECT_EQ(123, VirtualKeyForQtKey(Qt::Key_F12, false));
  EXPECT_EQ(13, VirtualKeyForQtKey(Qt::Key_Return, false));
  EXPECT_EQ(13, VirtualKeyForQtKey(Qt::Key_Enter, true));
  EXPECT_EQ(27, VirtualKeyForQtKey(Qt::Key_Escape, false));
  EXPECT_EQ('B', VirtualKeyForQtKey(Qt::Key_B, false));
  EXPECT_EQ('7', VirtualKeyForQtKey(Qt::Key_7, false));
  EXPECT_EQ(VK_NUMPAD0 + 7, VirtualKeyForQtKey(Qt::Key_7, true));
}

// A form with KeyPreview and a focused control that both log what they see.
struct KeyRig {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TPanel* control = new TPanel(form.get());
  std::vector<std::string> log;
  uint16_t consumeInForm = 0;
  char consumeCharInForm = 0;

  KeyRig() {
    form->KeyPreview = true;
    form->SetBounds(0, 0, 300, 200);
    control->TabStop = true;
    control->SetParent(form.get());
    form->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) {
      log.push_back("form down " + std::to_string(key));
      if (key == consumeInForm) TForm::ConsumeKey(key);
    };
    form->OnKeyPress = [this](TObject*, char& key) {
      log.push_back("form press " + std::to_string(static_cast<int>(key)));
      if (key == consumeCharInForm) TForm::ConsumeKey(key);
    };
    control->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) {
      log.push_back("control down " + std::to_string(key));
    };
    control->OnKeyPress = [this](TObject*, char& key) {
      log.push_back("control press " + std::to_string(static_cast<int>(key)));
    };
    form->Show();
    control->SetFocus();
  }

  void Press(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = QString()) {
    QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, text);
    QApplication::sendEvent(control->Widget(), &event);
  }
};

TEST(KeyPreview, FormSeesKeysBeforeTheFocusedControl) {
  KeyRig rig;
  EXPECT_TRUE(rig.control->Focused());
  rig.Press(Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_EQ(
      (std::vector<std::string>{"form down 65", "control down 65", "form press 97", "control press 97"}),
      rig.log);
  // Keys sent to the form's own window go to its active control as well.
  rig.log.clear();
  QKeyEvent event(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
  QApplication::sendEvent(rig.form->Widget(), &event);
  EXPECT_EQ((std::vector<std::string>{"form down 36", "control down 36"}), rig.log);
}

TEST(KeyPreview, ConsumedKeysGoNoFurther) {
  KeyRig rig;
  rig.consumeInForm = VK_END;
  rig.Press(Qt::Key_End);
  EXPECT_EQ((std::vector<std::string>{"form down 35"}), rig.log);

  // A key the form acts on without consuming it still reaches the control.
  rig.log.clear();
  rig.Press(Qt::Key_PageUp);
  EXPECT_EQ((std::vector<std::string>{"form down 33", "control down 33"}), rig.log);

  // A consumed character does not reach the control's key-press handler.
  rig.log.clear();
  rig.consumeCharInForm = 2;
  rig.Press(Qt::Key_B, Qt::ControlModifier, QString());
  EXPECT_EQ((std::vector<std::string>{"form down 66", "control down 66", "form press 2"}), rig.log);
}

TEST(KeyPreview, NumericKeypadPlusIs107AndMainPlusIsNot) {
  KeyRig rig;
  rig.Press(Qt::Key_Plus, Qt::KeypadModifier, "+");
  rig.Press(Qt::Key_Plus, Qt::ShiftModifier, "+");
  ASSERT_GE(rig.log.size(), 6u);
  EXPECT_EQ("form down 107", rig.log[0]);
  EXPECT_EQ("form down 187", rig.log[4]);
}

TEST(KeyPreview, CtrlLetterGivesControlCharacterFromTheKeyCode) {
  KeyRig rig;
  // The event's text is not what the character is made from.
  rig.Press(Qt::Key_B, Qt::ControlModifier, "x");
  rig.Press(Qt::Key_T, Qt::ControlModifier, QString());
  EXPECT_EQ(
      (std::vector<std::string>{"form down 66", "control down 66", "form press 2", "control press 2",
                                "form down 84", "control down 84", "form press 20", "control press 20"}),
      rig.log);
}

TEST(DialogKeys, EnterPressesTheDefaultButtonAndEscapeTheCancelButton) {
  KeyRig rig;
  auto* ok = new TButton(rig.form.get());
  ok->Default = true;
  ok->ModalResult = mrOk;
  ok->SetParent(rig.form.get());
  auto* cancel = new TButton(rig.form.get());
  cancel->Cancel = true;
  cancel->ModalResult = mrCancel;
  cancel->SetParent(rig.form.get());
  int okClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };

  rig.Press(Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(1, okClicks);
  EXPECT_EQ(mrOk, rig.form->ModalResult());
  rig.Press(Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  EXPECT_EQ(mrCancel, rig.form->ModalResult());
  EXPECT_EQ("Ok", StripAccelerator("&Ok"));
  char accelerator = 0;
  EXPECT_EQ("Save & go", StripAccelerator("Sa&ve && go", &accelerator));
  EXPECT_EQ('v', accelerator);
}

}  // namespace
}  // namespace lumivane
