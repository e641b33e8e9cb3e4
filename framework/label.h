#pragma once
// A line of text on its parent; with AutoSize it takes the size of its caption.
#include "framework/graphic_control.h"

namespace lumivane {

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  void Paint() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  void TextChanged() override;
  void FontChanged() override;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool transparent_ = false;
};

}  // namespace lumivane
