#pragma once
// A fill description with a lazily created raster-device brush handle.
#include <mutex>

#include "framework/graphics_object.h"
#include "framework/types.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

  // A solid brush of the colour, or the hollow stock brush for bsClear.
  HBRUSH Handle();

  void AssignFrom(TPersistent* Source) override;

 private:
  void DescriptionChanged();

  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  std::mutex handle_mutex_;
  HBRUSH handle_ = nullptr;
};

}  // namespace lumivane
