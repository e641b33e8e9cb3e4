#include "picture/fitted_copy.h"

#include "framework/canvas.h"
#include "picture/bitmap.h"
#include "picture/graphic.h"
#include "picture/jpeg_image.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

TFittedCopy::TFittedCopy() = default;
TFittedCopy::~TFittedCopy() = default;

bool TFittedCopy::AppliesAtSize(TGraphic& Graphic, int Width, int Height) {
  if (Width <= 0 || Height <= 0) return false;
  if (Width > Graphic.ImageWidth() || Height > Graphic.ImageHeight()) return false;
  if (Width == Graphic.ImageWidth() && Height == Graphic.ImageHeight()) return false;
  if (Graphic.Transparent()) return false;
  if (auto* bitmap = dynamic_cast<TBitmap*>(&Graphic)) return !bitmap->Monochrome();
  return dynamic_cast<TJPEGImage*>(&Graphic) != nullptr;
}

bool TFittedCopy::Applies(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect) {
  if (Canvas.CopyMode() != SRCCOPY || GetDeviceCaps(Canvas.Handle(), BITSPIXEL) < 24) return false;
  return AppliesAtSize(Graphic, Rect.Width(), Rect.Height());
}

std::unique_ptr<TBitmap> TFittedCopy::Make(TGraphic& Graphic, int Width, int Height) {
  if (!AppliesAtSize(Graphic, Width, Height)) return nullptr;
  auto copy = std::make_unique<TBitmap>();
  copy->SetPixelFormat(pf32bit);
  // The draw below writes every pixel of the copy (the graphic is opaque and at least as large as
  // the copy): no background fill first.
  copy->SetSizeForWriting(Width, Height);
  // The graphic keeps an averaging stretch mode that its target asks for.
  SetStretchBltMode(copy->Canvas().Handle(), HALFTONE);
  Graphic.DrawInto(copy->Canvas(), lumivane::Rect(0, 0, Width, Height));
  return copy;
}

void TFittedCopy::Adopt(const TGraphic& Graphic, std::unique_ptr<TBitmap> Copy) {
  if (!Copy) return;
  copy_ = std::move(Copy);
  graphic_ = &Graphic;
}

bool TFittedCopy::Draw(TGraphic& Graphic, TCanvas& Canvas, const TRect& Rect) {
  if (!Applies(Graphic, Canvas, Rect)) return false;
  const int width = Rect.Width();
  const int height = Rect.Height();
  if (!copy_ || graphic_ != &Graphic || copy_->ImageWidth() != width || copy_->ImageHeight() != height) {
    Reset();
    copy_ = Make(Graphic, width, height);
    graphic_ = &Graphic;
    if (!copy_) return false;
  }
  copy_->DrawInto(Canvas, Rect);
  return true;
}

void TFittedCopy::Reset() {
  copy_.reset();
  graphic_ = nullptr;
}

}  // namespace lumivane
