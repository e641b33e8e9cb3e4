#pragma once
// The still-image control: a windowless control that shows its picture, at its own size (at the
// top-left or centred) or stretched to the control, and can take the picture's size.
#include <memory>

#include "framework/graphic_control.h"
#include "picture/change_notifier.h"
#include "picture/fitted_copy.h"
#include "picture/graphic.h"
#include "picture/picture.h"

namespace lumivane {

class TImage : public TGraphicControl, private IChangeNotifier {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;

  // The picture shown; the control registers itself as its owner and hears every change.
  TPicture& Picture() { return picture_; }
  void SetPicture(TPicture* Value) { picture_.AssignFrom(Value); }

  // Draw the graphic scaled to the client rectangle.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool Value);
  // Without stretching: draw the graphic centred instead of at the top-left.
  bool Center() const { return center_; }
  void SetCenter(bool Value);
  // Passed on to the graphic (icons and metafiles keep their own).
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool Value);

  // The rectangle the graphic is drawn into.
  TRect DestRect();
  // A filtered copy of the current graphic made ahead at the size it will be drawn (see
  // TFittedCopy::Make); a copy of another size is remade when drawn, as without it.
  void AdoptFittedCopy(std::unique_ptr<TBitmap> Copy);

  // The picture's progress events, passed on.
  TProgressEvent OnProgress;

 protected:
  // A graphic that fails to draw (its data turns out bad only when first decoded) is not an
  // error of the paint: the control drops the picture and, right after the paint, shrinks to
  // 0 x 0, showing nothing, as a picture that failed to load.
  void Paint() override;
  // With AutoSize on the control takes the picture's size.
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;

 private:
  void Changed() override;  // the picture changed
  void PictureChanged();
  void EmptyAfterFailedDraw();

  TPicture picture_;
  TFittedCopy fitted_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
  // Lets a call queued for after the paint see whether the control still exists.
  std::shared_ptr<TImage*> self_ = std::make_shared<TImage*>(this);
};

}  // namespace lumivane
