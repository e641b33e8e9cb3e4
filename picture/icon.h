#pragma once
// The icon picture: keeps the icon file's bytes and decodes the entry that suits the screen on
// first need; always transparent; drawn at its own size.
#include <string>

#include "picture/graphic.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TIconImage;

class TIcon : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TIcon, TGraphic)

 public:
  TIcon();
  ~TIcon() override;

  // From another TIcon: shares its image. Null empties the icon.
  void AssignFrom(TPersistent* Source) override;

  // Draws the icon at its own size at Rect's top-left corner (decoding it first if needed).
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool IsEmpty() override;
  // The decoded size; before decoding, the size of the entry that decoding will choose (the
  // system icon size when the bytes hold no such entry, or while empty).
  int ImageWidth() override;
  int ImageHeight() override;
  // Before decoding: the requested size that steers the choice of entry. After decoding:
  // EInvalidGraphicOperation "Cannot change the size of an icon".
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  // An icon is always transparent: the setter does nothing.
  void SetTransparent(bool Value) override {}
  // Keeps every byte from the stream's position to its end; EInvalidGraphic "Icon image is not
  // valid" for a type of 2 or more. Nothing is decoded yet.
  void ReadFromStream(TStream& Stream) override;
  // Writes the kept icon file bytes.
  void WriteToStream(TStream& Stream) override;

  // The icon handle, decoding on first use (EInvalidGraphic "Icon image is not valid" for bad
  // data, EOutOfResources when the icon cannot be made).
  HICON IconHandle();
  // True once the handle exists.
  bool Decoded() const;
  // The requested size (0, 0: the system icon size).
  int RequestedWidth() const { return requested_width_; }
  int RequestedHeight() const { return requested_height_; }

 private:
  void HandleNeeded();
  TPoint UndecodedSize();
  TPoint TargetSize() const;
  void ReplaceImage(TIconImage* NewImage);

  TIconImage* image_ = nullptr;
  int requested_width_ = 0;
  int requested_height_ = 0;
};

}  // namespace lumivane
