#include "framework/qt_dialog_service.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "framework/application.h"
#include "framework/form.h"
#include "framework/screen.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {

namespace {

QMessageBox::Icon QtIcon(TDialogIcon icon) {
  switch (icon) {
    case TDialogIcon::Error:
      return QMessageBox::Critical;
    case TDialogIcon::Warning:
      return QMessageBox::Warning;
    case TDialogIcon::Information:
      return QMessageBox::Information;
    case TDialogIcon::Question:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;
  }
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Top-left corner for a box of the given size: (x, y) where given, centred on the screen otherwise.
QPoint Placement(const QSize& size, int x, int y) {
  const int left = x >= 0 ? x : (Screen->Width() - size.width()) / 2;
  const int top = y >= 0 ? y : (Screen->Height() - size.height()) / 2;
  return QPoint(left, top);
}

}  // namespace

QFont TQtDialogService::DialogFont() {
  if (TForm* form = Application->MainForm()) return FontAsQFont(form->Font().Handle());
  return QApplication::font();
}

void TQtDialogService::MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) {
  QMessageBox box(QtIcon(Icon), Q(Caption), Q(Text), QMessageBox::NoButton);
  box.setFont(DialogFont());
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.adjustSize();
  box.move(Placement(box.sizeHint(), -1, -1));
  box.exec();
}

TModalResult TQtDialogService::ConfirmYesNo(const std::string& Caption, const std::string& Text, int X,
                                            int Y) {
  QMessageBox box(QMessageBox::Question, Q(Caption), Q(Text), QMessageBox::NoButton);
  box.setFont(DialogFont());
  QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.adjustSize();
  box.move(Placement(box.sizeHint(), X, Y));
  box.exec();
  // Closing the box any other way counts as No.
  return box.clickedButton() == yes ? mrYes : mrNo;
}

bool TQtDialogService::InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) {
  QInputDialog dialog;
  dialog.setFont(DialogFont());
  dialog.setWindowTitle(Q(Caption));
  dialog.setLabelText(Q(Prompt));
  dialog.setTextValue(Q(Value));
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Cancel"));
  dialog.adjustSize();
  dialog.move(Placement(dialog.sizeHint(), -1, -1));
  if (dialog.exec() != QDialog::Accepted) return false;
  Value = dialog.textValue().toStdString();
  return true;
}

}  // namespace lumivane
