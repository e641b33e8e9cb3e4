#pragma once
// A font description with a lazily created raster-device font handle.
#include <mutex>
#include <string>

#include "framework/graphics_object.h"
#include "framework/set.h"
#include "framework/types.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

class TFont : public TGraphicsObject {
 public:
  static constexpr int PixelsPerInch = 96;

  TFont() = default;
  ~TFont() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Negative: character height in pixels; positive: cell height.
  int Height() const { return height_; }
  void SetHeight(int height);
  // Size in points, derived from Height at 96 pixels per inch (-11 is 8 points).
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);

  // The raster-device font for the current description; owned by this object and replaced when
  // the description changes.
  HFONT Handle();

  void AssignFrom(TPersistent* Source) override;

 private:
  void DescriptionChanged();

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  std::mutex handle_mutex_;
  HFONT handle_ = nullptr;
};

// The font's line height (the text metric's height) measured on a screen device context.
int FontLineHeight(TFont& font);

}  // namespace lumivane
