#pragma once
// A dialog service that answers from a script and records every dialog it was asked to show, so
// that programs can be driven without a person (tests install it with Application->SetDialogService).
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "framework/dialog_service.h"

namespace lumivane {

enum class TDialogKind { MessageBox, ConfirmYesNo, InputQuery };

struct TShownDialog {
  TDialogKind Kind = TDialogKind::MessageBox;
  std::string Caption;
  std::string Text;         // message text, or the prompt of an input box
  std::string DefaultText;  // input box only
  TDialogIcon Icon = TDialogIcon::None;
  int X = -1;  // Yes/No box only
  int Y = -1;
};

class TScriptedDialogService : public TDialogService {
 public:
  void MessageBox(const std::string& Caption, const std::string& Text, TDialogIcon Icon) override;
  TModalResult ConfirmYesNo(const std::string& Caption, const std::string& Text, int X, int Y) override;
  bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string& Value) override;

  // The next Yes/No box answers this; without a queued answer it is closed (No).
  void QueueConfirm(TModalResult answer) { confirms_.push_back(answer); }
  // The next input box is answered OK with this text; std::nullopt answers Cancel. Without a
  // queued answer the box is cancelled.
  void QueueInput(std::optional<std::string> answer) { inputs_.push_back(std::move(answer)); }

  const std::vector<TShownDialog>& Shown() const { return shown_; }
  void Clear();

 private:
  std::vector<TShownDialog> shown_;
  std::deque<TModalResult> confirms_;
  std::deque<std::optional<std::string>> inputs_;
};

}  // namespace lumivane
