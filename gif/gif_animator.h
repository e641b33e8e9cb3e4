#pragma once
// The animated GIF display: a windowless control that shows a TGIFImage and plays its frames on
// its own animation timer. Every frame is shown composed over the frames before it (with their
// disposal methods applied) in a kept bitmap, so a step forward draws only the new frame. Painting
// composes only the screen pixels its destination shows, sampled as the stretch picks them (of a
// very large destination only the visible part), so a huge screen or one shown small costs what is
// on show.
#include <memory>
#include <optional>

#include "framework/types.h"
#include "gif/animation_timer.h"
#include "gif/composed_surface.h"
#include "gif/gif_image.h"
#include "gif/image_control_base.h"

namespace lumivane {

class TBitmap;

class TGIFAnimator : public TImageControlBase {
 public:
  explicit TGIFAnimator(TComponent* AOwner);
  ~TGIFAnimator() override;

  // ---- properties ----
  // Paint on the timer thread (the timer then ticks unsynchronised).
  bool AsyncDrawing() const { return async_drawing_; }
  void SetAsyncDrawing(bool Value);
  bool Animate() const { return animate_; }
  void SetAnimate(bool Value);
  bool Center() const { return center_; }
  void SetCenter(bool Value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);
  // The frame on show; out-of-range values and the current one are ignored.
  int FrameIndex() const { return frame_index_; }
  void SetFrameIndex(int Value);
  // The picture (never null, owned). SetImage copies Value into it.
  TGIFImage* Image() const { return image_.get(); }
  void SetImage(TGIFImage* Value);
  // After the last frame start again at frame 0; when false, stop after one pass.
  bool Loop = true;

  TAnimationTimer& FrameTimer() const { return *frame_timer_; }

  // ---- operations ----
  // The delay of the frame on show in milliseconds, clamped to 50..10000; 0 for an image with
  // fewer than two frames or an index out of range.
  uint32_t FrameDelay();
  // The composed bitmap of frame Index (kept by the control as CachedFrame). TransColor is set to
  // the transparent colour that goes with it, or left as given.
  TBitmap* ComposeFrame(int Index, TColor& TransColor);
  // The frame timer's handler while animating: steps to the next frame and shows it.
  void TimerTick(TObject* Sender);
  // Image.OnChange: drops the kept frame and starts again at the image's active frame.
  void HandleImageChange(TObject* Sender);
  void StopAnimation() { SetAnimate(false); }

  // The kept composed frame and what goes with it.
  TBitmap* CachedFrame() const { return cached_.Bitmap.get(); }
  int CachedIndex() const { return cached_.Index; }
  TColor CachedTransColor() const { return cached_.TransColor; }

  TNotifyEvent OnStart;
  TNotifyEvent OnStop;
  TNotifyEvent OnChange;
  TNotifyEvent OnFrameChanged;

 protected:
  virtual void DoChange();
  virtual void DoFrameChanged();
  virtual void DoStart();
  virtual void DoStop();

  void Paint() override { PaintContents(); }
  void DrawImage() override;
  HPALETTE GetPalette() override;
  void AdjustToImage() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;

 private:
  // A composed frame kept for the next step, and the screen pixels it holds.
  struct TKeptComposition {
    std::unique_ptr<TBitmap> Bitmap;
    int Index = -1;
    TColor TransColor = clNone;
    std::optional<TScreenSampling> Sampling;  // none: the whole screen

    void Reset();
  };

  // Composes frame Index into Kept, the whole screen or only the sampled pixels. Null when a
  // sampled composition cannot be made (then the whole screen must be composed).
  TBitmap* ComposeInto(TKeptComposition& Kept, int Index, const TScreenSampling* Sampling,
                       TColor& TransColor);
  TRect FrameBox(int Index) const;
  // False when the frame can only be drawn through a canvas, which a sampled surface has not.
  bool DrawFrameAt(TBitmap& Target, const TScreenSampling* Sampling, int Index) const;
  // Fills Rect (in screen pixels) with the target canvas's brush colour.
  void FillBackground(TBitmap& Target, const TScreenSampling* Sampling, const TRect& Rect) const;
  TColor ChooseBackground(TBitmap& Bitmap, TColor& TransColor) const;
  int FirstFrameToLayDown(int Index) const;
  bool LayDownFrames(TBitmap& Target, const TScreenSampling* Sampling, int First, int Index) const;
  TRect DestinationFor(int Width, int Height) const;
  // Draws the screen pixels the painting shows; false when only the whole screen can be composed.
  bool DrawShownPart();
  bool DrawInBands(const TScreenSampling& Sampling, int X, int Y);
  // Draws a composition unscaled at (X, Y), leaving out its transparent colour.
  void DrawComposed(TBitmap& Composed, TColor TransColor, int X, int Y);
  void SetDrawingFlag(bool& Field, bool Value);
  void StepFrame();
  void RunOnMainThreadIfAsync(const std::function<void()>& Method);

  std::unique_ptr<TGIFImage> image_;
  TAnimationTimer* frame_timer_;  // owned as a component of this control
  bool animate_ = false;
  int frame_index_ = 0;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = true;
  TKeptComposition cached_;  // ComposeFrame's, of the whole screen
  TKeptComposition shown_;   // the painting's, of the screen pixels it shows
  bool async_drawing_ = false;
};

}  // namespace lumivane
