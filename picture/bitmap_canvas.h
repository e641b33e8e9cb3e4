#pragma once
// The canvas of a bitmap: a memory device context with the bitmap (and its palette) selected,
// made when first needed and given up whenever the bitmap's image is replaced.
#include "framework/canvas.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TBitmap;

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* Bitmap);
  ~TBitmapCanvas() override;

  // Takes the bitmap out of the context and deletes the context.
  void FreeContext();

 protected:
  void CreateHandle() override;

 private:
  TBitmap* bitmap_;
  HGDIOBJ old_bitmap_ = nullptr;
  HPALETTE old_palette_ = nullptr;
  HBITMAP selected_ = nullptr;

  friend void DeselectBitmap(HBITMAP Bitmap);
};

// Frees the context of every bitmap canvas that has Bitmap selected, so that the bitmap can be
// selected elsewhere or deleted.
void DeselectBitmap(HBITMAP Bitmap);

}  // namespace lumivane
