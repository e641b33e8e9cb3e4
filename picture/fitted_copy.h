#pragma once
// A picture drawn smaller than its natural size, filtered once by area averaging into a 32-bit
// copy of the displayed size and kept for every later paint at that size. Drawing at natural size
// or enlarged, and transparent pictures, go the usual way.
#include <memory>

#include "framework/types.h"

namespace lumivane {

class TBitmap;
class TCanvas;
class TGraphic;

class TFittedCopy {
 public:
  TFittedCopy();
  ~TFittedCopy();
  TFittedCopy(const TFittedCopy&) = delete;
  TFittedCopy& operator=(const TFittedCopy&) = delete;

  // Draws Graphic into Rect through the kept copy, making it first when the graphic or the size
  // changed. False when a filtered copy does not apply; the caller then draws as usual.
  bool Draw(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect);
  // Drops the copy (the picture changed).
  void Reset();

  // The filtered copy of Graphic at Width x Height that Draw would make, made ahead (on any thread
  // that has the graphic to itself); null when a filtered copy does not apply at that size.
  static std::unique_ptr<TBitmap> Make(TGraphic& Graphic, int Width, int Height);
  // Keeps a copy made ahead for Graphic: Draw uses it when the graphic is drawn at its size.
  void Adopt(const TGraphic& Graphic, std::unique_ptr<TBitmap> Copy);

 private:
  static bool Applies(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect);
  static bool AppliesAtSize(TGraphic& Graphic, int Width, int Height);

  std::unique_ptr<TBitmap> copy_;
  const TGraphic* graphic_ = nullptr;
};

}  // namespace lumivane
