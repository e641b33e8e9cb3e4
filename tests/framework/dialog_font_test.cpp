// The message, Yes/No and input boxes are drawn in the main window's font.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/form.h"
#include "framework/qt_dialog_service.h"

namespace lumivane {
namespace {

struct TSeenFont {
  QString Family;
  int PixelSize;
};

class DialogFontTest : public ::testing::Test {
 protected:
  void SetUp() override { Application->CreateForm(form); }
  void TearDown() override { delete form; }

  // Runs one box and returns the fonts its widgets were shown with.
  template <typename Show>
  std::vector<TSeenFont> Run(Show show) {
    auto seen = std::make_shared<std::vector<TSeenFont>>();
    QTimer::singleShot(0, [seen] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr) return;
      for (QWidget* child : box->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(child);
        const bool text = label != nullptr && !label->text().isEmpty();
        if (text || qobject_cast<QPushButton*>(child) != nullptr ||
            qobject_cast<QLineEdit*>(child) != nullptr) {
          seen->push_back({child->font().family(), child->font().pixelSize()});
        }
      }
      if (auto* dialog = qobject_cast<QDialog*>(box)) dialog->reject();
    });
    show();
    return *seen;
  }

  TForm* form = nullptr;
  TQtDialogService dialogs;
};

TEST_F(DialogFontTest, EveryBoxUsesTheMainWindowsFontAndFollowsItsChanges) {
  auto expectMainFont = [](const std::vector<TSeenFont>& fonts, int pixels, const char* which) {
    ASSERT_GE(fonts.size(), 2u) << which << ": a text and a button at least";
    for (const TSeenFont& font : fonts) {
      EXPECT_EQ(font.Family.toStdString(), "Liberation Sans") << which;
      EXPECT_EQ(font.PixelSize, pixels) << which;
    }
  };
  // The framework's default font: "MS Sans Serif" 11 pixels high, drawn with Liberation Sans.
  expectMainFont(Run([&] { dialogs.MessageBox("Lumivane", "Copy failed", TDialogIcon::None); }), 11,
                 "message");
  expectMainFont(Run([&] { dialogs.ConfirmYesNo("Confirm", "Delete x.gif?", -1, -1); }), 11, "yes/no");
  std::string value = "name.gif";
  expectMainFont(Run([&] { dialogs.InputQuery("Rename", "New name:", value); }), 11, "input");
  EXPECT_EQ(value, "name.gif");

  form->Font().SetName("Arial");
  form->Font().SetHeight(-15);
  expectMainFont(Run([&] { dialogs.MessageBox("Lumivane", "Copy failed", TDialogIcon::Error); }), 15,
                 "changed");
}

}  // namespace
}  // namespace lumivane
