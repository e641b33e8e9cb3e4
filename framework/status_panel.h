#pragma once
// One panel of a status bar, and the collection of them.
#include <memory>
#include <string>
#include <vector>

#include "framework/control_types.h"
#include "framework/persistent.h"

namespace lumivane {

class TStatusBar;

class TStatusPanel : public TPersistent {
 public:
  explicit TStatusPanel(TStatusBar* bar) : bar_(bar) {}

  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBiDiMode BiDiMode() const { return bidi_mode_; }
  void SetBiDiMode(TBiDiMode value);
  const std::string& Text() const { return text_; }
  // Changing the text repaints the bar.
  void SetText(const std::string& value);

 private:
  void Changed();

  TStatusBar* bar_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TBiDiMode bidi_mode_ = bdLeftToRight;
  std::string text_;
};

class TStatusPanels {
 public:
  explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}

  TStatusPanel* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  TStatusPanel* Items(int index) const;
  TStatusPanel* operator[](int index) const { return Items(index); }
  void Delete(int index);
  void Clear();

 private:
  TStatusBar* bar_;
  std::vector<std::unique_ptr<TStatusPanel>> items_;
};

}  // namespace lumivane
