#include "gif/gif_image.h"

#include <algorithm>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/sys_utils.h"
#include "gif/gif_messages.h"
#include "gif/gif_reader.h"
#include "picture/bitmap.h"
#include "picture/clipboard_formats.h"
#include "picture/picture.h"

namespace lumivane {

bool AcceptCorruptData = true;

namespace {

int g_registrations = 0;
uint16_t g_clipboardFormat = 0;

}  // namespace

void RegisterGifFormat() {
  if (g_registrations++ > 0) return;
  g_clipboardFormat = RegisterClipboardFormatA("GIF Image");
  TPicture::RegisterGraphicFormat("gif", "CompuServe GIF Image", GraphicClassOf<TGIFImage>());
  TPicture::RegisterGraphicClipboardFormat(g_clipboardFormat, GraphicClassOf<TGIFImage>());
}

void UnregisterGifFormat() {
  if (g_registrations == 0 || --g_registrations > 0) return;
  TPicture::UnregisterGraphicFormats(GraphicClassOf<TGIFImage>());
}

uint16_t GIFClipboardFormat() { return g_clipboardFormat; }

// ---- life cycle ----------------------------------------------------------------------------

TGIFImage::TGIFImage() {
  ResetImage();
  transparent_ = true;
}

TGIFImage::~TGIFImage() {
  OnChange = nullptr;
  if (data_ != nullptr) data_->DropReference();
  FreeFrames();
}

void TGIFImage::TakeData(TGIFData* data) {
  data->AddReference();
  if (data_ != nullptr) data_->DropReference();
  data_ = data;
}

void TGIFImage::FreeFrames() { frames_.clear(); }

void TGIFImage::ResetImage() {
  TakeData(new TGIFData());
  FreeFrames();
  data_corrupt_ = false;
  ActiveFrameIndex = -1;
  back_color_ = clNone;
  loop_count_ = 1;
  loop_enabled_ = false;
  format_version_ = GIFVersionNone;
}

// ---- reading -------------------------------------------------------------------------------

void TGIFImage::ParseGIFData(int64_t Length, TStream& Stream, bool DecodeFirst) {
  ResetImage();
  // A length beyond the stream's end cannot be satisfied; refuse it before allocating.
  if (Length < 0 || Length > Stream.Size() - Stream.Position()) throw EReadError(SReadError);
  TMemoryStream copy;
  copy.SetSize(Length);
  if (Length > 0) {
    Stream.ReadBuffer(copy.Memory(), Length);
    TGIFReader(*this, copy).ReadAll();
  }
  if (!frames_.empty()) {
    ActiveFrameIndex = 0;
    if (DecodeFirst) {
      try {
        ActiveBitmap();
      } catch (...) {
        frames_.erase(frames_.begin());
        throw;
      }
    }
  }
  PaletteModified = true;
  SignalChange(this);
}

void TGIFImage::ReadFromStream(TStream& Stream) {
  ParseGIFData(Stream.Size() - Stream.Position(), Stream, true);
}

void TGIFImage::ReadStoredData(TStream& Stream) {
  const int32_t length = static_cast<int32_t>(Stream.ReadDWord());
  ParseGIFData(length, Stream, true);
}

void TGIFImage::ReadFromClipboard(uint16_t Format, HANDLE Data, HPALETTE Palette) {
  if (Format == g_clipboardFormat && Format != 0 && Data != nullptr) {
    // The clipboard block is copied whole before it is parsed.
    TMemoryStream copy;
    copy.LoadFromStream(*static_cast<TStream*>(Data));
    const int32_t length = static_cast<int32_t>(copy.ReadDWord());
    ParseGIFData(length, copy, false);
    if (!frames_.empty()) ActiveFrameIndex = 0;
    return;
  }
  TBitmap bitmap;
  bitmap.ReadFromClipboard(Format, Data, Palette);
  AssignFrom(&bitmap);
}

void TGIFImage::WriteToStream(TStream&) { throw EInvalidGraphicOperation(SGIFNoWriter); }

void TGIFImage::WriteStoredData(TStream&) { throw EInvalidGraphicOperation(SGIFNoWriter); }

void TGIFImage::WriteToClipboard(uint16_t&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphicOperation(SGIFNoWriter);
}

// ---- the graphic interface ------------------------------------------------------------------

void TGIFImage::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  if (ActiveFrameIndex < 0) return;
  FrameAt(ActiveFrameIndex)->DrawFrame(Canvas, Rect, Transparent());
}

bool TGIFImage::SameImageAs(TGraphic* Other) {
  auto* other = dynamic_cast<TGIFImage*>(Other);
  return other != nullptr && other->data_ == data_;
}

bool TGIFImage::IsEmpty() {
  if (frames_.empty()) return true;
  int index = std::max(ActiveFrameIndex, 0);
  if (index >= FrameCount()) index = 0;
  TGIFFrame& frame = *frames_[index];
  if (frame.BitmapIfAny() != nullptr) return false;
  const auto& codes = frame.SharedItem->CodeData;
  return !codes || codes->Size() == 0;
}

int TGIFImage::ImageWidth() {
  if (IsEmpty() || ActiveFrameIndex < 0 || ActiveFrameIndex >= FrameCount()) return 0;
  return frames_[ActiveFrameIndex]->FrameBitmap().ImageWidth();
}

int TGIFImage::ImageHeight() {
  if (IsEmpty() || ActiveFrameIndex < 0 || ActiveFrameIndex >= FrameCount()) return 0;
  return frames_[ActiveFrameIndex]->FrameBitmap().ImageHeight();
}

void TGIFImage::SetImageWidth(int) { throw EInvalidGraphicOperation(SGIFResizeImage); }

void TGIFImage::SetImageHeight(int) { throw EInvalidGraphicOperation(SGIFResizeImage); }

HPALETTE TGIFImage::PaletteHandle() {
  if (frames_.empty()) return nullptr;
  return ActiveBitmap().PaletteHandle();
}

bool TGIFImage::Transparent() {
  if (!TGraphic::Transparent()) return false;
  return std::any_of(frames_.begin(), frames_.end(),
                     [](const auto& frame) { return frame->TransparentColor != clNone; });
}

uint16_t TGIFImage::LogicalWidth() { return IsEmpty() ? 0 : logical_width_; }

uint16_t TGIFImage::LogicalHeight() { return IsEmpty() ? 0 : logical_height_; }

// ---- frames --------------------------------------------------------------------------------

TGIFFrame* TGIFImage::FrameAt(int Index) const {
  if (Index < 0 || Index >= FrameCount()) throw EListError(Format(SListIndexError, Index));
  return frames_[Index].get();
}

TGIFFrame& TGIFImage::AppendNewFrame() {
  frames_.push_back(std::make_unique<TGIFFrame>(this));
  return *frames_.back();
}

int TGIFImage::AddFrame(TGraphic* Graphic) {
  TGIFFrame& frame = AppendNewFrame();
  ActiveFrameIndex = FrameCount() - 1;
  frame.AssignFrom(Graphic);
  if (format_version_ == GIFVersionNone) format_version_ = GIFVersion87a;
  if (FrameCount() > 1) format_version_ = GIFVersion89a;
  return ActiveFrameIndex;
}

TBitmap& TGIFImage::ActiveBitmap() {
  if (!frames_.empty()) {
    const bool inRange = ActiveFrameIndex >= 0 && ActiveFrameIndex < FrameCount();
    return frames_[inRange ? ActiveFrameIndex : 0]->FrameBitmap();
  }
  ActiveFrameIndex = 0;
  TBitmap empty;
  AssignFrom(&empty);
  return frames_.front()->FrameBitmap();
}

void TGIFImage::RecomputeLogicalSize() {
  if (suppress_recompute_) return;
  int width = 0;
  int height = 0;
  for (const auto& frame : frames_) {
    width = std::max(width, frame->FrameWidth() + frame->Origin.X);
    height = std::max(height, frame->FrameHeight() + frame->Origin.Y);
  }
  logical_width_ = static_cast<uint16_t>(width);
  logical_height_ = static_cast<uint16_t>(height);
}

// ---- copying -------------------------------------------------------------------------------

void TGIFImage::CopyImage(TGIFImage& source) {
  TakeData(source.data_);
  format_version_ = source.format_version_;
  back_color_ = source.back_color_;
  loop_count_ = source.loop_count_;
  loop_enabled_ = source.loop_enabled_;
  data_corrupt_ = source.data_corrupt_;
  FreeFrames();
  // The logical size is copied at the end, so the frames need not be decoded to compute it.
  suppress_recompute_ = true;
  try {
    for (const auto& sourceFrame : source.frames_) {
      auto frame = std::make_unique<TGIFFrame>(this);
      frame->AssignFrom(sourceFrame.get());
      frame->HasLocalColors = sourceFrame->HasLocalColors;
      frames_.push_back(std::move(frame));
    }
  } catch (...) {
    suppress_recompute_ = false;
    throw;
  }
  suppress_recompute_ = false;
  logical_width_ = source.logical_width_;
  logical_height_ = source.logical_height_;
  ActiveFrameIndex = source.ActiveFrameIndex;
}

void TGIFImage::CopyFrame(TGIFFrame& source) {
  // The source may be one of this image's own frames, which ResetImage frees: then the copy is
  // made from a stand-alone duplicate (it shares the coded data and the bitmap's image).
  std::unique_ptr<TGIFFrame> duplicate;
  TGIFFrame* from_frame = &source;
  if (source.OwnerImage == this) {
    duplicate = std::make_unique<TGIFFrame>(nullptr);
    duplicate->AssignFrom(&source);
    from_frame = duplicate.get();
  }
  TGIFData* owner_data = source.OwnerImage != nullptr ? source.OwnerImage->data_ : nullptr;
  if (owner_data != nullptr) owner_data->AddReference();
  ResetImage();
  if (owner_data != nullptr) {
    data_->PixelAspect = owner_data->PixelAspect;
    data_->ColorBits = owner_data->ColorBits;
    data_->ColorResolution = owner_data->ColorResolution;
    data_->GlobalColors = owner_data->GlobalColors;
    owner_data->DropReference();
  }
  TGIFFrame& frame = AppendNewFrame();
  ActiveFrameIndex = FrameCount() - 1;
  frame.AssignFrom(from_frame);
  if (format_version_ == GIFVersionNone) format_version_ = GIFVersion87a;
}

void TGIFImage::AssignFrom(TPersistent* Source) {
  if (Source == this) return;
  if (Source == nullptr) {
    ResetImage();
  } else if (auto* image = dynamic_cast<TGIFImage*>(Source)) {
    CopyImage(*image);
  } else if (auto* frame = dynamic_cast<TGIFFrame*>(Source)) {
    CopyFrame(*frame);
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    // The bitmap may belong to one of this image's frames: hold a shared copy across the reset.
    TBitmap held;
    held.AssignFrom(bitmap);
    ResetImage();
    AddFrame(&held);
  } else {
    TGraphic::AssignFrom(Source);
    return;
  }
  SignalChange(this);
}

void TGIFImage::AssignInto(TPersistent* Target) {
  if (dynamic_cast<TGIFImage*>(Target) != nullptr) {
    Target->AssignFrom(this);
    return;
  }
  if (dynamic_cast<TGraphic*>(Target) == nullptr) {
    TGraphic::AssignInto(Target);
    return;
  }
  if (IsEmpty()) {
    Target->AssignFrom(nullptr);
  } else if (ActiveFrameIndex < 0) {
    Target->AssignFrom(&ActiveBitmap());
  } else {
    TPersistentAccess::AssignInto(FrameAt(ActiveFrameIndex), Target);
  }
}

}  // namespace lumivane
