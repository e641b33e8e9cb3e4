#include "browse/filter_combo_box.h"

#include "browse/file_list_box.h"
#include "browse/path_helpers.h"
#include "framework/string_list.h"

namespace lumivane {

TFilterComboBox::TFilterComboBox(TComponent* AOwner)
    : TCustomComboBox(AOwner), pattern_list_(std::make_unique<TStringList>()) {
  SetStyle(csDropDownList);
}

TFilterComboBox::~TFilterComboBox() { BeginDestruction(); }

void TFilterComboBox::CreateWnd() {
  TCustomComboBox::CreateWnd();
  FillFilterList();
}

void TFilterComboBox::FillFilterList() {
  Clear();
  pattern_list_->Clear();
  // '|' is a single byte that never occurs inside a UTF-8 multi-byte character.
  std::string rest = filter_;
  for (size_t bar = rest.find('|'); bar != std::string::npos; bar = rest.find('|')) {
    const std::string name = rest.substr(0, bar);
    rest.erase(0, bar + 1);
    std::string pattern;
    const size_t next = rest.find('|');
    if (next != std::string::npos) {
      pattern = rest.substr(0, next);
      rest.erase(0, next + 1);
    } else {
      pattern = rest;  // the last mask; a description without one after it is dropped
      rest.clear();
    }
    AddItem(name);
    pattern_list_->Add(pattern);
  }
  SetItemIndex(0);
}

std::string TFilterComboBox::Mask() {
  if (ItemIndex() < 0) SetItemIndex(Count() - 1);
  if (ItemIndex() < 0) return "*.*";
  return pattern_list_->Strings(ItemIndex());
}

void TFilterComboBox::Change() {
  if (file_list_ != nullptr) file_list_->SetMask(Mask());
  TCustomComboBox::Change();
}

void TFilterComboBox::Click() {
  TCustomComboBox::Click();
  Change();
}

void TFilterComboBox::SetFilter(const std::string& Value) {
  if (SameFileName(Value, filter_)) return;
  filter_ = Value;
  if (HandleAllocated()) FillFilterList();
  Change();
}

void TFilterComboBox::SetFileList(TFileListBox* Value) {
  if (file_list_ != nullptr) file_list_->SetFilterCombo(nullptr);
  file_list_ = Value;
  if (file_list_ == nullptr) return;
  file_list_->FreeNotification(this);
  file_list_->SetFilterCombo(this);
}

void TFilterComboBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomComboBox::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent != nullptr && AComponent == file_list_) {
    file_list_ = nullptr;
  }
}

}  // namespace lumivane
