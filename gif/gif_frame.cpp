#include "gif/gif_frame.h"

#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif/dib_stream.h"
#include "gif/gif_image.h"
#include "gif/stretch_transparent.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr TColor kMagenta = 0xFF00FF;

// The frame's last comment block, without creating one.
const TExtension* FindCommentBlock(const TGIFFrame& frame) {
  if (!frame.ExtensionList) return nullptr;
  for (auto it = frame.ExtensionList->rbegin(); it != frame.ExtensionList->rend(); ++it)
    if ((*it)->BlockKind == ExtComment) return it->get();
  return nullptr;
}

}  // namespace

TGIFFrame::TGIFFrame(TGIFImage* Owner) : OwnerImage(Owner) { ResetFrameData(); }

TGIFFrame::~TGIFFrame() {
  bitmap_.reset();
  ExtensionList.reset();
  if (SharedItem != nullptr) SharedItem->DropReference();
}

void TGIFFrame::TakeItem(TGIFItem* item) {
  item->AddReference();
  if (SharedItem != nullptr) SharedItem->DropReference();
  SharedItem = item;
}

void TGIFFrame::ResetFrameData() {
  TakeItem(new TGIFItem());
  GrayscaleFlag = false;
  DataCorrupt = false;
  TransparentColor = clNone;
  TransparentIndex = -1;
  Origin = TPoint{0, 0};
  InterlaceFlag = false;
  HasLocalColors = false;
  DelayTime = 0;
  DisposalMethod = DisposalUnspecified;
}

void TGIFFrame::RenewBitmap() { bitmap_ = std::make_unique<TBitmap>(); }

void TGIFFrame::FreeBitmap() { bitmap_.reset(); }

TBitmap& TGIFFrame::FrameBitmap() {
  if (bitmap_ && !bitmap_->IsEmpty()) return *bitmap_;
  RenewBitmap();
  if (!SharedItem->CodeData) return *bitmap_;
  try {
    // The frame stays at its own depth: a 32-bit copy would cost four times the memory, and the
    // composition reads the indices directly.
    bitmap_->SetImageHandle(DecodeFrameSection(*this));
  } catch (...) {
    RenewBitmap();
    throw;
  }
  return *bitmap_;
}

int TGIFFrame::FrameWidth() {
  if (!bitmap_ && !SharedItem->CodeData) return 0;
  return FrameBitmap().ImageWidth();
}

int TGIFFrame::FrameHeight() {
  if (!bitmap_ && !SharedItem->CodeData) return 0;
  return FrameBitmap().ImageHeight();
}

TExtension& TGIFFrame::FindExtensionOfKind(TExtensionKind Kind) {
  if (!ExtensionList) ExtensionList = std::make_unique<TExtensionList>();
  for (auto it = ExtensionList->rbegin(); it != ExtensionList->rend(); ++it)
    if ((*it)->BlockKind == Kind) return **it;
  ExtensionList->push_back(std::make_unique<TExtension>(Kind));
  return *ExtensionList->back();
}

TStringList& TGIFFrame::Comments() { return FindExtensionOfKind(ExtComment).LinesNeeded(); }

void TGIFFrame::SetComments(const TStringList& Lines) { Comments().Assign(Lines); }

void TGIFFrame::DrawFrame(TCanvas& Canvas, const TRect& Rect, bool UseTransparency) {
  TBitmap& bitmap = FrameBitmap();
  if (UseTransparency && TransparentColor != clNone) {
    StretchTransparent(Canvas, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(), bitmap,
                       lumivane::Rect(0, 0, bitmap.ImageWidth(), bitmap.ImageHeight()), TransparentColor);
  } else {
    bitmap.DrawInto(Canvas, Rect);
  }
}

void TGIFFrame::CopyFrame(TGIFFrame& source) {
  TakeItem(source.SharedItem);
  HasLocalColors = source.OwnerImage == OwnerImage ? source.HasLocalColors : true;
  Origin = source.Origin;
  InterlaceFlag = source.InterlaceFlag;
  if (source.bitmap_) {
    RenewBitmap();
    bitmap_->AssignFrom(source.bitmap_.get());
  } else {
    // A bitmap decoded from the previous data would show the wrong picture.
    bitmap_.reset();
  }
  TransparentColor = source.TransparentColor;
  TransparentIndex = source.TransparentIndex;
  DelayTime = source.DelayTime;
  DisposalMethod = source.DisposalMethod;
  GrayscaleFlag = source.GrayscaleFlag;
  DataCorrupt = source.DataCorrupt;
  const TExtension* comment = FindCommentBlock(source);
  if (comment != nullptr && comment->Lines && comment->Lines->Count() > 0) SetComments(*comment->Lines);
}

void TGIFFrame::CopyGraphic(TGraphic& source) {
  // Copying the frame's own bitmap: a shared copy keeps it alive across RenewBitmap.
  std::unique_ptr<TBitmap> held;
  TGraphic* from = &source;
  if (bitmap_ != nullptr && &source == bitmap_.get()) {
    held = std::make_unique<TBitmap>();
    held->AssignFrom(&source);
    from = held.get();
  }
  TGraphic& graphic = *from;
  ResetFrameData();
  RenewBitmap();
  TBitmap& bitmap = *bitmap_;
  auto* sourceBitmap = dynamic_cast<TBitmap*>(&graphic);
  try {
    bitmap.AssignFrom(&graphic);
    if (sourceBitmap != nullptr) bitmap.SetMonochrome(sourceBitmap->Monochrome());
  } catch (const Exception&) {
    // A graphic that cannot be copied is drawn onto a magenta background instead.
    bitmap.Canvas().Brush().SetColor(kMagenta);
    bitmap.SetSize(graphic.ImageWidth(), graphic.ImageHeight());
    graphic.DrawInto(bitmap.Canvas(), Rect(0, 0, graphic.ImageWidth(), graphic.ImageHeight()));
  }
  if (graphic.Transparent()) {
    if (sourceBitmap != nullptr) {
      TransparentColor = sourceBitmap->TransparentColor();
    } else {
      const COLORREF brush = ColorToRGB(bitmap.Canvas().Brush().Color());
      TransparentColor = static_cast<TColor>(GetNearestColor(bitmap.Canvas().Handle(), brush));
    }
  }
}

void TGIFFrame::OwnerChanged() {
  if (OwnerImage != nullptr) OwnerImage->RecomputeLogicalSize();
}

void TGIFFrame::AssignFrom(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    ResetFrameData();
    bitmap_.reset();
  } else if (auto* frame = dynamic_cast<TGIFFrame*>(Source)) {
    CopyFrame(*frame);
  } else if (auto* image = dynamic_cast<TGIFImage*>(Source)) {
    if (image->FrameCount() == 0) {
      AssignFrom(nullptr);
      return;
    }
    TGIFFrame* active = image->FrameAt(image->ActiveFrameIndex < 0 ? 0 : image->ActiveFrameIndex);
    if (active == this) return;
    CopyFrame(*active);
  } else if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    if (graphic->IsEmpty()) {
      AssignFrom(nullptr);
      return;
    }
    CopyGraphic(*graphic);
  } else {
    TPersistent::AssignFrom(Source);
  }
  OwnerChanged();
}

void TGIFFrame::AssignInto(TPersistent* Target) {
  if (dynamic_cast<TGIFFrame*>(Target) != nullptr || dynamic_cast<TGIFImage*>(Target) != nullptr) {
    Target->AssignFrom(this);
    return;
  }
  auto* graphic = dynamic_cast<TGraphic*>(Target);
  if (graphic == nullptr) {
    TPersistent::AssignInto(Target);
    return;
  }
  graphic->AssignFrom(&FrameBitmap());
  auto* bitmap = dynamic_cast<TBitmap*>(graphic);
  if (bitmap != nullptr && TransparentColor != clNone) {
    const COLORREF nearest = GetNearestColor(bitmap->Canvas().Handle(), ColorToRGB(TransparentColor));
    bitmap->SetTransparentColor(static_cast<TColor>(nearest));
    bitmap->SetTransparent(true);
  }
}

}  // namespace lumivane
