#include "picture/image.h"

#include <exception>

#include "framework/application.h"
#include "picture/bitmap.h"
#include "picture/icon.h"
#include "picture/metafile.h"

namespace lumivane {

namespace {
constexpr int kDefaultSize = 105;
}  // namespace

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  picture_.SetNotifier(this);
  picture_.OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw,
                               const TRect& r, const std::string& msg) {
    Fire(OnProgress, sender, stage, percent, redraw, r, msg);
  };
  SetBounds(Left(), Top(), kDefaultSize, kDefaultSize);
}

TImage::~TImage() { picture_.SetNotifier(nullptr); }

void TImage::SetStretch(bool Value) {
  if (Value == stretch_) return;
  stretch_ = Value;
  PictureChanged();
}

void TImage::SetCenter(bool Value) {
  if (Value == center_) return;
  center_ = Value;
  PictureChanged();
}

void TImage::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  PictureChanged();
}

TRect TImage::DestRect() {
  if (stretch_) return ClientRect();
  const int w = picture_.ImageWidth();
  const int h = picture_.ImageHeight();
  if (center_) return Bounds((Width() - w) / 2, (Height() - h) / 2, w, h);
  return Rect(0, 0, w, h);
}

void TImage::AdoptFittedCopy(std::unique_ptr<TBitmap> Copy) {
  if (TGraphic* graphic = picture_.Graphic()) fitted_.Adopt(*graphic, std::move(Copy));
}

void TImage::Paint() {
  TGraphic* graphic = picture_.Graphic();
  if (graphic == nullptr) return;
  try {
    const TRect dest = DestRect();
    // A picture shrunk to fit is drawn from a filtered copy made once per size.
    if (!fitted_.Draw(*graphic, Canvas(), dest)) graphic->DrawInto(Canvas(), dest);
  } catch (const std::exception&) {
    EmptyAfterFailedDraw();
  }
}

void TImage::EmptyAfterFailedDraw() {
  // The bounds are not changed inside the paint; the picture goes at once, so that no later
  // paint tries it again.
  picture_.SetNotifier(nullptr);
  picture_.SetGraphic(nullptr);
  picture_.SetNotifier(this);
  Application->QueueOnMainThread([weak = std::weak_ptr<TImage*>(self_)] {
    const auto self = weak.lock();
    if (self == nullptr) return;
    TImage* image = *self;
    if (image->picture_.Graphic() != nullptr) return;  // a new picture came meanwhile
    image->SetBounds(image->Left(), image->Top(), 0, 0);
  });
}

bool TImage::CanAutoSize(int& NewWidth, int& NewHeight) {
  NewWidth = picture_.ImageWidth();
  NewHeight = picture_.ImageHeight();
  return true;
}

void TImage::Changed() { PictureChanged(); }

void TImage::PictureChanged() {
  fitted_.Reset();
  if (AutoSize() && picture_.ImageWidth() > 0 && picture_.ImageHeight() > 0)
    SetBounds(Left(), Top(), picture_.ImageWidth(), picture_.ImageHeight());
  TGraphic* graphic = picture_.Graphic();
  if (graphic != nullptr && dynamic_cast<TIcon*>(graphic) == nullptr &&
      dynamic_cast<TMetafile*>(graphic) == nullptr && graphic->Transparent() != transparent_) {
    // Setting the flag signals a change that comes back here; the flag then matches.
    graphic->SetTransparent(transparent_);
    return;
  }
  Invalidate();
}

}  // namespace lumivane
