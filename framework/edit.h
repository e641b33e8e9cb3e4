#pragma once
// A one-line text edit (a native Qt line edit).
#include <string>

#include "framework/win_control.h"

class QLineEdit;

namespace lumivane {

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* AOwner);

  std::string Text() const;
  // Sets the text and fires OnChange when it differs.
  void SetText(const std::string& value);
  void SelectAll();
  int SelStart() const;
  int SelLength() const;
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);

  TNotifyEvent OnChange;

  bool WantsNativeKeys() const override { return true; }

 protected:
  QWidget* MakeWidget(QWidget* parentWidget) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual void Change();

 private:
  QLineEdit* LineEdit() const;

  std::string text_;
  bool read_only_ = false;
  bool select_all_pending_ = false;
};

}  // namespace lumivane
