#include "gif/gif_animator.h"

#include <cstdint>
#include <vector>

#include "framework/application.h"
#include "framework/win_control.h"
#include "gif/composed_surface.h"
#include "gif/gif_frame.h"
#include "gif/stretch_transparent.h"
#include "picture/bitmap.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr uint32_t kShortestDelay = 50;
constexpr uint32_t kLongestDelay = 10000;

// A colour as a palette-relative RGB value, the form in which colours go to the device.
TColor PaletteColor(TColor Color) { return static_cast<TColor>(ColorToRGB(Color) | 0x02000000); }

// Holds a state lock for one scope.
class TStateGuard {
 public:
  explicit TStateGuard(TImageControlBase& Control) : control_(Control) { control_.LockState(); }
  ~TStateGuard() { control_.UnlockState(); }
  TStateGuard(const TStateGuard&) = delete;
  TStateGuard& operator=(const TStateGuard&) = delete;

 private:
  TImageControlBase& control_;
};

// Holds a canvas lock for one scope.
class TCanvasGuard {
 public:
  explicit TCanvasGuard(TCanvas& Canvas) : canvas_(Canvas) { canvas_.Lock(); }
  ~TCanvasGuard() { canvas_.Unlock(); }
  TCanvasGuard(const TCanvasGuard&) = delete;
  TCanvasGuard& operator=(const TCanvasGuard&) = delete;

 private:
  TCanvas& canvas_;
};

}  // namespace

TGIFAnimator::TGIFAnimator(TComponent* AOwner)
    : TImageControlBase(AOwner), frame_timer_(new TAnimationTimer(this)) {
  SetAutoSize(true);
  image_ = std::make_unique<TGIFImage>();
  WatchedGraphic = image_.get();
  image_->OnChange = [this](TObject* Sender) { HandleImageChange(Sender); };
}

TGIFAnimator::~TGIFAnimator() {
  BeginDestruction();
  OnStart = nullptr;
  OnStop = nullptr;
  OnChange = nullptr;
  OnFrameChanged = nullptr;
  SetAnimate(false);
  // A tick already running on the timer thread still uses the frames and the image.
  frame_timer_->WaitForTick();
  cached_.Reset();
  shown_.Reset();
  image_->OnChange = nullptr;
  WatchedGraphic = nullptr;
  image_.reset();
}

// ---- properties -----------------------------------------------------------------------------

void TGIFAnimator::SetAnimate(bool Value) {
  if (Value == animate_) return;
  if (Value) {
    frame_timer_->SetOnTimer([this](TObject* Sender) { TimerTick(Sender); });
    frame_timer_->SetEnabled(true);
    animate_ = frame_timer_->Enabled();
    DoStart();
  } else {
    frame_timer_->SetEnabled(false);
    frame_timer_->SetOnTimer(nullptr);
    animate_ = false;
    DoStop();
    ImageUpdated();
  }
}

void TGIFAnimator::SetAsyncDrawing(bool Value) {
  if (Value == async_drawing_) return;
  TStateGuard state(*this);
  if (Value) EnableLockedBitmapDrawing();
  frame_timer_->SetSyncEvent(!Value);
  async_drawing_ = Value;
}

void TGIFAnimator::SetDrawingFlag(bool& Field, bool Value) {
  if (Value == Field) return;
  {
    TStateGuard state(*this);
    Field = Value;
  }
  ImageUpdated();
  if (animate_) Repaint();
}

void TGIFAnimator::SetCenter(bool Value) { SetDrawingFlag(center_, Value); }
void TGIFAnimator::SetStretch(bool Value) { SetDrawingFlag(stretch_, Value); }
void TGIFAnimator::SetTransparent(bool Value) { SetDrawingFlag(transparent_, Value); }

void TGIFAnimator::SetFrameIndex(int Value) {
  if (Value == frame_index_ || Value >= image_->FrameCount() || Value < 0) return;
  {
    TStateGuard state(*this);
    frame_index_ = Value;
    if (frame_index_ >= 0 && image_->FrameCount() > 0) frame_timer_->SetInterval(FrameDelay());
  }
  DoFrameChanged();
  ImageUpdated();
}

void TGIFAnimator::SetImage(TGIFImage* Value) {
  // The copy fires the image's OnChange, whose handler takes the state lock again.
  TStateGuard state(*this);
  image_->AssignFrom(Value);
}

// ---- events ---------------------------------------------------------------------------------

void TGIFAnimator::DoChange() { Fire(OnChange, this); }
void TGIFAnimator::DoFrameChanged() { Fire(OnFrameChanged, this); }
void TGIFAnimator::DoStart() { Fire(OnStart, this); }
void TGIFAnimator::DoStop() { Fire(OnStop, this); }

// ---- frames ---------------------------------------------------------------------------------

uint32_t TGIFAnimator::FrameDelay() {
  const int count = image_->FrameCount();
  if (frame_index_ < 0 || frame_index_ >= count || count < 2) return 0;
  const uint32_t delay = image_->FrameAt(frame_index_)->DelayTime;
  if (delay < kShortestDelay) return kShortestDelay;
  if (delay > kLongestDelay) return kLongestDelay;
  return delay;
}

TRect TGIFAnimator::FrameBox(int Index) const {
  TGIFFrame* frame = image_->FrameAt(Index);
  return Bounds(frame->Origin.X, frame->Origin.Y, frame->FrameWidth(), frame->FrameHeight());
}

bool TGIFAnimator::DrawFrameAt(TBitmap& Target, const TScreenSampling* Sampling, int Index) const {
  TGIFFrame* frame = image_->FrameAt(Index);
  // Decoded frames are copied straight onto the composition surface; other frames (made from
  // other graphics) are drawn by the canvas, on the whole screen only.
  TComposedSurface surface(Target, Sampling);
  if (surface.DrawFrame(*frame, frame->Origin.X, frame->Origin.Y, true)) return true;
  if (Sampling != nullptr) return false;
  frame->DrawFrame(Target.Canvas(), FrameBox(Index), true);
  return true;
}

void TGIFAnimator::FillBackground(TBitmap& Target, const TScreenSampling* Sampling, const TRect& Rect) const {
  TCanvas& canvas = Target.Canvas();
  TComposedSurface surface(Target, Sampling);
  if (surface.Valid()) {
    surface.Fill(Rect, static_cast<TColor>(ColorToRGB(canvas.Brush().Color()) & 0xFFFFFF));
  } else {
    canvas.FillRect(Rect);
  }
}

TColor TGIFAnimator::ChooseBackground(TBitmap& Bitmap, TColor& TransColor) const {
  // The colour is chosen by the image's own active frame, not by the frame being composed.
  const TGIFFrame* active = image_->FrameAt(image_->ActiveFrameIndex);
  if (active->TransparentColor != clNone) {
    HDC dc = Bitmap.Canvas().Handle();
    TransColor = static_cast<TColor>(GetNearestColor(dc, ColorToRGB(active->TransparentColor)));
    return PaletteColor(TransColor);
  }
  if (image_->BackColor() != clNone && image_->Transparent()) {
    return PaletteColor(image_->BackColor());
  }
  return PaletteColor(clWindow);
}

int TGIFAnimator::FirstFrameToLayDown(int Index) const {
  // The latest full-screen frame that hides everything before it: an opaque one, or one that is
  // cleared to the background before the frame being composed.
  const int width = image_->LogicalWidth();
  const int height = image_->LogicalHeight();
  int first = std::max(0, Index);
  while (first > 0) {
    TGIFFrame* frame = image_->FrameAt(first);
    const bool fullScreen = frame->FrameWidth() == width && frame->FrameHeight() == height;
    const bool hidesEarlier =
        frame->TransparentColor == clNone || (frame->DisposalMethod == DisposalBackground && first < Index);
    if (fullScreen && hidesEarlier) break;
    --first;
  }
  return first;
}

bool TGIFAnimator::LayDownFrames(TBitmap& Target, const TScreenSampling* Sampling, int First,
                                 int Index) const {
  for (int i = First; i < Index; ++i) {
    switch (image_->FrameAt(i)->DisposalMethod) {
      case DisposalUnspecified:
      case DisposalLeave:
        if (!DrawFrameAt(Target, Sampling, i)) return false;
        break;
      case DisposalBackground:
        // At the first frame the background is what the fill laid down already.
        if (i > First) FillBackground(Target, Sampling, FrameBox(i));
        break;
      default:
        break;  // restored to what was before it, or unknown: the frame leaves no trace
    }
  }
  return true;
}

void TGIFAnimator::TKeptComposition::Reset() {
  Bitmap.reset();
  Index = -1;
  TransColor = clNone;
  Sampling.reset();
}

TBitmap* TGIFAnimator::ComposeFrame(int Index, TColor& TransColor) {
  return ComposeInto(cached_, Index, nullptr, TransColor);
}

TBitmap* TGIFAnimator::ComposeInto(TKeptComposition& Kept, int Index, const TScreenSampling* Sampling,
                                   TColor& TransColor) {
  Index = std::min(Index, image_->FrameCount() - 1);
  const bool sameSampling = Sampling == nullptr ? !Kept.Sampling.has_value()
                                                : Kept.Sampling.has_value() && *Kept.Sampling == *Sampling;
  const bool reuse = Kept.Bitmap != nullptr && sameSampling && Kept.Index == Index - 1 && Kept.Index >= 0 &&
                     image_->FrameAt(Kept.Index)->DisposalMethod != DisposalPrevious;
  const int width = Sampling != nullptr ? static_cast<int>(Sampling->Columns.size()) : image_->LogicalWidth();
  const int height = Sampling != nullptr ? static_cast<int>(Sampling->Rows.size()) : image_->LogicalHeight();
  const TRect screen = Rect(0, 0, image_->LogicalWidth(), image_->LogicalHeight());
  std::unique_ptr<TBitmap> rebuilt;
  TBitmap* result = nullptr;
  if (reuse) {
    result = Kept.Bitmap.get();
    TransColor = Kept.TransColor;
  } else {
    // A rebuild lays down a full background first, so the kept surface is refilled rather than
    // replaced when its size still fits: fresh pixel memory is costly to touch.
    if (Kept.Bitmap != nullptr && Kept.Bitmap->ImageWidth() == width &&
        Kept.Bitmap->ImageHeight() == height && TComposedSurface(*Kept.Bitmap).Valid()) {
      rebuilt = std::move(Kept.Bitmap);
      rebuilt->SetTransparent(false);
      rebuilt->SetTransparentColor(clDefault);
    } else {
      Kept.Bitmap.reset();
      rebuilt = TComposedSurface::NewBitmap(width, height);
      if (rebuilt == nullptr && Sampling != nullptr) {
        Kept.Reset();
        return nullptr;
      }
      if (rebuilt == nullptr) rebuilt = std::make_unique<TBitmap>();
    }
    Kept.Reset();
    result = rebuilt.get();
  }

  TCanvas& canvas = result->Canvas();
  TCanvasGuard locked(canvas);
  if (!reuse) result->SetSize(width, height);
  HDC dc = canvas.Handle();
  HPALETTE palette = image_->PaletteHandle();
  HPALETTE oldPalette = nullptr;
  if (palette != nullptr) {
    oldPalette = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
  }
  bool composed = true;
  try {
    if (reuse) {
      // One step forward: only the previous frame's disposal and the new frame are drawn.
      if (image_->FrameAt(Kept.Index)->DisposalMethod == DisposalBackground) {
        FillBackground(*result, Sampling, FrameBox(Kept.Index));
      }
    } else {
      canvas.Brush().SetColor(ChooseBackground(*result, TransColor));
      FillBackground(*result, Sampling, Sampling != nullptr ? screen : Rect(0, 0, width, height));
      composed = LayDownFrames(*result, Sampling, FirstFrameToLayDown(Index), Index);
    }
    composed = composed && DrawFrameAt(*result, Sampling, Index);
    if (composed && !reuse && TransColor != clNone && transparent_) {
      result->SetTransparentColor(PaletteColor(TransColor));
      result->SetTransparent(true);
    }
  } catch (...) {
    if (palette != nullptr) SelectPalette(dc, oldPalette, FALSE);
    Kept.Reset();
    throw;  // a rebuilt bitmap is freed with its holder; the kept one is dropped
  }
  if (palette != nullptr) SelectPalette(dc, oldPalette, FALSE);
  if (!composed) {
    Kept.Reset();
    return nullptr;
  }

  if (rebuilt) Kept.Bitmap = std::move(rebuilt);
  Kept.Index = Index;
  Kept.TransColor = TransColor;
  if (Sampling != nullptr) Kept.Sampling = *Sampling;
  return result;
}

// ---- painting -------------------------------------------------------------------------------

TRect TGIFAnimator::DestinationFor(int Width, int Height) const {
  if (stretch_) return Rect(0, 0, ClientWidth(), ClientHeight());
  if (center_) {
    // Integer division truncates toward zero, so a frame larger than the control is cut evenly.
    return Bounds((ClientWidth() - Width) / 2, (ClientHeight() - Height) / 2, Width, Height);
  }
  return Rect(0, 0, Width, Height);
}

namespace {

// The largest destination whose whole composition an animation keeps (64 MB of pixels).
constexpr int64_t kKeptPixels = int64_t{1} << 24;

// The screen positions that a point-sampled stretch of Length screen pixels onto Size target
// pixels from Position shows at target positions First..Last-1.
std::vector<int> SampledPositions(int Length, int Position, int Size, int First, int Last) {
  std::vector<int> positions;
  positions.reserve(static_cast<size_t>(std::max(0, Last - First)));
  for (int d = First; d < Last; ++d)
    positions.push_back(static_cast<int>(PointSampledSource(int64_t{d} - Position, Size, Length)));
  return positions;
}

}  // namespace

bool TGIFAnimator::DrawShownPart() {
  HDC target = Canvas().Handle();
  // Area averaging needs every screen pixel, so it is left to the whole-screen drawing.
  if (GetStretchBltMode(target) == HALFTONE) return false;
  const int width = image_->LogicalWidth();
  const int height = image_->LogicalHeight();
  const TRect dest = DestinationFor(width, height);
  if (dest.Width() < 1 || dest.Height() < 1) return true;
  const RECT whole{dest.Left, dest.Top, dest.Right, dest.Bottom};
  const RECT visible = VisiblePartOf(target, whole);
  if (visible.right <= visible.left || visible.bottom <= visible.top) return true;
  // An animation keeps its composition from step to step. Of a destination of ordinary size it
  // keeps all of it, so that painting another part (dragging the picture, a part uncovered) needs
  // no new composition; of a larger one only the visible part.
  const bool keepWhole = image_->FrameCount() > 1 && int64_t{dest.Width()} * dest.Height() <= kKeptPixels;
  const RECT part = keepWhole ? whole : visible;
  TScreenSampling sampling;
  sampling.Columns = SampledPositions(width, dest.Left, dest.Width(), part.left, part.right);
  sampling.Rows = SampledPositions(height, dest.Top, dest.Height(), part.top, part.bottom);

  if (image_->FrameCount() == 1) {
    // A single frame never steps, so nothing needs keeping.
    shown_.Reset();
    return DrawInBands(sampling, part.left, part.top);
  }
  TColor transColor = clNone;
  TBitmap* shown = ComposeInto(shown_, frame_index_, &sampling, transColor);
  if (shown == nullptr) return false;
  DrawComposed(*shown, transColor, part.left, part.top);
  return true;
}

bool TGIFAnimator::DrawInBands(const TScreenSampling& Sampling, int X, int Y) {
  // Composed and drawn a band of rows at a time, a picture filling the panel costs one band of
  // memory, not a surface of its size.
  constexpr size_t kBandPixels = 65536;
  const size_t rowsPerBand = std::max<size_t>(1, kBandPixels / Sampling.Columns.size());
  TKeptComposition band;
  TScreenSampling bandSampling;
  bandSampling.Columns = Sampling.Columns;
  for (size_t first = 0; first < Sampling.Rows.size(); first += rowsPerBand) {
    const size_t last = std::min(Sampling.Rows.size(), first + rowsPerBand);
    bandSampling.Rows.assign(Sampling.Rows.begin() + static_cast<std::ptrdiff_t>(first),
                             Sampling.Rows.begin() + static_cast<std::ptrdiff_t>(last));
    TColor transColor = clNone;
    TBitmap* shown = ComposeInto(band, frame_index_, &bandSampling, transColor);
    // Only the first band can need the whole screen instead; a later one fails for want of memory
    // alone, and the bands drawn so far stay.
    if (shown == nullptr) return first > 0;
    DrawComposed(*shown, transColor, X, Y + static_cast<int>(first));
  }
  return true;
}

void TGIFAnimator::DrawComposed(TBitmap& Composed, TColor TransColor, int X, int Y) {
  TCanvasGuard locked(Composed.Canvas());
  const int width = Composed.ImageWidth();
  const int height = Composed.ImageHeight();
  if (TransColor != clNone && transparent_) {
    // Unscaled, a colour-keyed copy leaves the same pixels as the masked drawing.
    TransparentBlt(Canvas().Handle(), X, Y, width, height, Composed.Canvas().Handle(), 0, 0, width, height,
                   ColorToRGB(TransColor) & 0xFFFFFF);
  } else {
    Composed.DrawInto(Canvas(), Bounds(X, Y, width, height));
  }
}

void TGIFAnimator::DrawImage() {
  if (image_->Transparent() || image_->IsEmpty()) CopyParentBackground(this, Canvas());
  if (image_->IsEmpty() || image_->LogicalWidth() < 1 || image_->LogicalHeight() < 1) return;
  if (DrawShownPart()) return;
  TColor transColor = clNone;
  TBitmap* frame = ComposeFrame(frame_index_, transColor);
  TCanvasGuard locked(frame->Canvas());
  const int width = frame->ImageWidth();
  const int height = frame->ImageHeight();
  const TRect dest = DestinationFor(width, height);
  if (transColor != clNone && transparent_) {
    if (dest.Width() == width && dest.Height() == height) {
      // Unscaled, a colour-keyed copy leaves the same pixels as the masked drawing, without its
      // four scratch bitmaps of the frame's size.
      TransparentBlt(Canvas().Handle(), dest.Left, dest.Top, width, height, frame->Canvas().Handle(), 0, 0,
                     width, height, ColorToRGB(transColor) & 0xFFFFFF);
    } else {
      StretchTransparent(Canvas(), dest.Left, dest.Top, dest.Width(), dest.Height(), *frame,
                         Rect(0, 0, width, height), transColor);
    }
  } else {
    frame->DrawInto(Canvas(), dest);
  }
}

HPALETTE TGIFAnimator::GetPalette() {
  if (image_ == nullptr || image_->IsEmpty()) return nullptr;
  return image_->PaletteHandle();
}

// ---- auto-size ------------------------------------------------------------------------------

void TGIFAnimator::AdjustToImage() {
  if (Loading() || !AutoSize() || image_ == nullptr || image_->IsEmpty()) return;
  SetBounds(Left(), Top(), image_->LogicalWidth(), image_->LogicalHeight());
}

bool TGIFAnimator::CanAutoSize(int& NewWidth, int& NewHeight) {
  // The image is made after auto-size is switched on in the constructor.
  if (image_ == nullptr || image_->IsEmpty()) return true;
  if (Align() == alNone || Align() == alLeft || Align() == alRight) {
    NewWidth = image_->LogicalWidth();
  }
  if (Align() == alNone || Align() == alTop || Align() == alBottom) {
    NewHeight = image_->LogicalHeight();
  }
  return true;
}

// ---- animation ------------------------------------------------------------------------------

void TGIFAnimator::RunOnMainThreadIfAsync(const std::function<void()>& Method) {
  if (async_drawing_) {
    frame_timer_->RunSynchronized(Method);
  } else {
    Method();
  }
}

void TGIFAnimator::StepFrame() {
  frame_index_ = frame_index_ < image_->FrameCount() - 1 ? frame_index_ + 1 : 0;
  try {
    // The handler runs before the paint takes the paint context and the canvas lock: on the main
    // thread a paint may be waiting for those, and it could never run the handler.
    if (async_drawing_ && OnFrameChanged) {
      frame_timer_->RunSynchronized([this] { DoFrameChanged(); });
    } else {
      DoFrameChanged();
    }
    PaintNow();
  } catch (...) {
    if (frame_index_ >= 0 && frame_index_ < image_->FrameCount()) {
      frame_timer_->SetInterval(FrameDelay());
    }
    throw;
  }
  // The delay that follows is the one of the frame just shown.
  if (frame_index_ >= 0 && frame_index_ < image_->FrameCount()) {
    frame_timer_->SetInterval(FrameDelay());
  }
}

void TGIFAnimator::TimerTick(TObject*) {
  if (ControlState.Contains(csPaintCopy)) return;
  if (!Visible() || image_->FrameCount() < 2) return;
  if (Parent() == nullptr || !Parent()->HandleAllocated()) return;
  TStateGuard state(*this);
  StepFrame();
  if (!Loop && frame_index_ == 0) RunOnMainThreadIfAsync([this] { StopAnimation(); });
}

void TGIFAnimator::HandleImageChange(TObject*) {
  {
    TStateGuard state(*this);
    cached_.Reset();
    shown_.Reset();
    frame_index_ = image_->ActiveFrameIndex;
    if (frame_index_ >= 0 && image_->FrameCount() > 0) frame_timer_->SetInterval(FrameDelay());
  }
  ImageUpdated();
  DoChange();
}

}  // namespace lumivane
