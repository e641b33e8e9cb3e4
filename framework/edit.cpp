#include "framework/edit.h"

#include <QLineEdit>

#include "framework/application.h"

namespace lumivane {

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  TabStop = true;
  SetBounds(0, 0, 121, 21);
  SetColor(clWindow);
}

QLineEdit* TEdit::LineEdit() const { return static_cast<QLineEdit*>(widget_); }

QWidget* TEdit::MakeWidget(QWidget* parentWidget) {
  auto* edit = new QLineEdit(parentWidget);
  edit->setText(QString::fromStdString(text_));
  edit->setReadOnly(read_only_);
  QObject::connect(edit, &QLineEdit::textEdited, [this](const QString& text) {
    Application->Guard(this, [&] {
      text_ = text.toStdString();
      Change();
    });
  });
  return edit;
}

void TEdit::CreateWnd() {
  TWinControl::CreateWnd();
  if (select_all_pending_) {
    LineEdit()->selectAll();
    select_all_pending_ = false;
  }
}

void TEdit::DestroyWnd() {
  if (widget_ != nullptr) text_ = LineEdit()->text().toStdString();
  TWinControl::DestroyWnd();
}

std::string TEdit::Text() const { return text_; }

void TEdit::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  if (widget_ != nullptr) LineEdit()->setText(QString::fromStdString(value));
  Change();
}

void TEdit::SelectAll() {
  if (widget_ != nullptr) {
    LineEdit()->selectAll();
  } else {
    select_all_pending_ = true;
  }
}

int TEdit::SelStart() const {
  if (widget_ == nullptr) return 0;
  const QLineEdit* edit = LineEdit();
  return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

int TEdit::SelLength() const {
  if (widget_ == nullptr) return 0;
  return static_cast<int>(LineEdit()->selectedText().size());
}

void TEdit::SetReadOnly(bool value) {
  read_only_ = value;
  if (widget_ != nullptr) LineEdit()->setReadOnly(value);
}

void TEdit::Change() { Fire(OnChange, this); }

}  // namespace lumivane
