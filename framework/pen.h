#pragma once
// A line description with a lazily created raster-device pen handle.
#include <mutex>

#include "framework/graphics_object.h"
#include "framework/types.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  ~TPen() override;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);

  HPEN Handle();

  void AssignFrom(TPersistent* Source) override;

 private:
  void DescriptionChanged();

  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  std::mutex handle_mutex_;
  HPEN handle_ = nullptr;
};

}  // namespace lumivane
