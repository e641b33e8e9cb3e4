#include "picture/fitted_copy.h"

#include "framework/canvas.h"
#include "picture/bitmap.h"
#include "picture/graphic.h"
#include "picture/jpeg_image.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

TFittedCopy::TFittedCopy() = default;
TFittedCopy::~TFittedCopy() = default;

bool TFittedCopy::Applies(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect) {
  const int width = Rect.Width();
  const int height = Rect.Height();
  if (width <= 0 || height <= 0) return false;
  if (width > Graphic.ImageWidth() || height > Graphic.ImageHeight()) return false;
  if (width == Graphic.ImageWidth() && height == Graphic.ImageHeight()) return false;
  if (Graphic.Transparent() || Canvas.CopyMode() != SRCCOPY) return false;
  if (GetDeviceCaps(Canvas.Handle(), BITSPIXEL) < 24) return false;
  if (auto* bitmap = dynamic_cast<TBitmap*>(&Graphic)) return !bitmap->Monochrome();
  return dynamic_cast<TJPEGImage*>(&Graphic) != nullptr;
}

bool TFittedCopy::Draw(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect) {
  if (!Applies(Graphic, Canvas, Rect)) return false;
  const int width = Rect.Width();
  const int height = Rect.Height();
  if (!copy_ || graphic_ != &Graphic || copy_->ImageWidth() != width || copy_->ImageHeight() != height) {
    Reset();
    auto copy = std::make_unique<TBitmap>();
    copy->SetPixelFormat(pf32bit);
    // The draw below writes every pixel of the copy (the graphic is opaque and at least as large
    // as the copy): no background fill first.
    copy->SetSizeForWriting(width, height);
    // The graphic keeps an averaging stretch mode that its target asks for.
    SetStretchBltMode(copy->Canvas().Handle(), HALFTONE);
    Graphic.DrawInto(copy->Canvas(), lumivane::Rect(0, 0, width, height));
    copy_ = std::move(copy);
    graphic_ = &Graphic;
  }
  copy_->DrawInto(Canvas, Rect);
  return true;
}

void TFittedCopy::Reset() {
  copy_.reset();
  graphic_ = nullptr;
}

}  // namespace lumivane
