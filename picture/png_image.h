#pragma once
// The PNG picture: decoded when read, held as a bitmap, drawn stretched to the rectangle it is
// given. A picture with transparency is blended over what lies below it (the panel's
// background); an opaque one is drawn like any bitmap.
#include <memory>

#include "framework/memory_stream.h"
#include "picture/graphic.h"

namespace lumivane {

class TBitmap;

class TPNGImage : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TPNGImage, TGraphic)

 public:
  TPNGImage();
  ~TPNGImage() override;

  // From another TPNGImage: shares its decoded bitmap and file bytes. Null empties the picture.
  void AssignFrom(TPersistent* Source) override;
  // Into a TBitmap: the decoded pixels (colours of transparent pixels scaled by their alpha).
  void AssignInto(TPersistent* Target) override;

  void DrawInto(TCanvas& Canvas, const TRect& Rect) override;
  bool IsEmpty() override;
  int ImageWidth() override;
  int ImageHeight() override;
  // The size of a PNG picture is the file's: EInvalidGraphicOperation "Cannot change the size of
  // a PNG image".
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  // Decodes the bytes from the stream's position to its end. EInvalidGraphic "PNG image is not
  // valid" for data that is not a PNG or breaks before its first row; a file cut short later
  // keeps the rows it holds. The previous picture stays on failure.
  void ReadFromStream(TStream& Stream) override;
  // Writes the PNG file's bytes as read.
  void WriteToStream(TStream& Stream) override;

  // Whether some pixel is not fully opaque.
  bool HasAlpha() const { return has_alpha_; }
  // The decoded pixels (null while empty).
  TBitmap* Bitmap() const { return bitmap_.get(); }

 private:
  std::shared_ptr<TBitmap> bitmap_;
  std::shared_ptr<TMemoryStream> bytes_;
  bool has_alpha_ = false;
};

}  // namespace lumivane
