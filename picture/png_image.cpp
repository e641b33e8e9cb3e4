#include "picture/png_image.h"

#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/stream.h"
#include "picture/bitmap.h"
#include "picture/png_reader.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidPNG = "PNG image is not valid";
constexpr const char* SChangePNGSize = "Cannot change the size of a PNG image";

}  // namespace

TPNGImage::TPNGImage() = default;

TPNGImage::~TPNGImage() = default;

void TPNGImage::AssignFrom(TPersistent* Source) {
  if (Source == nullptr) {
    bitmap_.reset();
    bytes_.reset();
    has_alpha_ = false;
  } else if (auto* png = dynamic_cast<TPNGImage*>(Source)) {
    if (png == this) return;
    bitmap_ = png->bitmap_;
    bytes_ = png->bytes_;
    has_alpha_ = png->has_alpha_;
  } else {
    TGraphic::AssignFrom(Source);
    return;
  }
  SignalChange(this);
}

void TPNGImage::AssignInto(TPersistent* Target) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Target)) {
    bitmap->AssignFrom(bitmap_.get());
    return;
  }
  TGraphic::AssignInto(Target);
}

bool TPNGImage::IsEmpty() { return bitmap_ == nullptr; }

int TPNGImage::ImageWidth() { return bitmap_ ? bitmap_->ImageWidth() : 0; }

int TPNGImage::ImageHeight() { return bitmap_ ? bitmap_->ImageHeight() : 0; }

void TPNGImage::SetImageWidth(int) { throw EInvalidGraphicOperation(SChangePNGSize); }

void TPNGImage::SetImageHeight(int) { throw EInvalidGraphicOperation(SChangePNGSize); }

void TPNGImage::ReadFromStream(TStream& Stream) {
  auto bytes = std::make_shared<TMemoryStream>();
  const int64_t count = Stream.Size() - Stream.Position();
  if (count > 0) bytes->CopyFrom(Stream, count);
  const TPNGReader::Result result =
      TPNGReader::Decode(bytes->Memory(), bytes->Size(), TPNGReader::poCompact, SInvalidPNG);
  auto bitmap = std::make_shared<TBitmap>();
  bitmap->SetImageHandle(result.Handle);
  bitmap_ = std::move(bitmap);
  bytes_ = std::move(bytes);
  has_alpha_ = result.HasAlpha;
  SignalChange(this);
}

void TPNGImage::WriteToStream(TStream& Stream) {
  if (bytes_) Stream.WriteBuffer(bytes_->Memory(), bytes_->Size());
}

void TPNGImage::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  if (!bitmap_) return;
  if (!has_alpha_) {
    bitmap_->DrawInto(Canvas, Rect);
    return;
  }
  AlphaBlend(Canvas.Handle(), Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), bitmap_->Canvas().Handle(), 0,
             0, bitmap_->ImageWidth(), bitmap_->ImageHeight(), 255);
}

}  // namespace lumivane
