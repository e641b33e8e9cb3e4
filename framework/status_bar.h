#pragma once
// A status bar aligned to the bottom of its form: one simple text, or a row of panels (the last
// one reaches to the right edge).
#include <string>

#include "framework/custom_control.h"
#include "framework/status_panel.h"

namespace lumivane {

class TStatusBar : public TCustomControl {
 public:
  explicit TStatusBar(TComponent* AOwner);

  TStatusPanels& Panels() { return panels_; }
  bool SimplePanel() const { return simple_panel_; }
  void SetSimplePanel(bool value);
  const std::string& SimpleText() const { return simple_text_; }
  void SetSimpleText(const std::string& value);
  bool SizeGrip = true;

  // The rectangle panel `index` occupies in the bar.
  TRect PanelRect(int index) const;

 protected:
  void Paint() override;

 private:
  void DrawPanelText(const TRect& rect, const std::string& text, TAlignment alignment);

  TStatusPanels panels_{this};
  bool simple_panel_ = false;
  std::string simple_text_;
};

}  // namespace lumivane
