#include "framework/status_panel.h"

#include "framework/exception.h"
#include "framework/status_bar.h"
#include "framework/sys_utils.h"

namespace lumivane {

void TStatusPanel::Changed() {
  if (bar_ != nullptr) bar_->Invalidate();
}

void TStatusPanel::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  Changed();
}

void TStatusPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed();
}

void TStatusPanel::SetBiDiMode(TBiDiMode value) {
  if (value == bidi_mode_) return;
  bidi_mode_ = value;
  Changed();
}

void TStatusPanel::SetText(const std::string& value) {
  if (value == text_) return;
  text_ = value;
  Changed();
}

TStatusPanel* TStatusPanels::Add() {
  items_.push_back(std::make_unique<TStatusPanel>(bar_));
  if (bar_ != nullptr) bar_->Invalidate();
  return items_.back().get();
}

TStatusPanel* TStatusPanels::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
  return items_[static_cast<size_t>(index)].get();
}

void TStatusPanels::Delete(int index) {
  Items(index);  // checks the index
  items_.erase(items_.begin() + index);
  if (bar_ != nullptr) bar_->Invalidate();
}

void TStatusPanels::Clear() {
  items_.clear();
  if (bar_ != nullptr) bar_->Invalidate();
}

}  // namespace lumivane
