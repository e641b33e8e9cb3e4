#pragma once
// The metafile picture kind, registered for "wmf" and "emf". Vector drawing is not supported: the
// file's bytes are kept and the picture draws nothing; files that are not metafiles are refused.
#include <memory>

#include "picture/graphic.h"

namespace lumivane {

class TMemoryStream;

class TMetafile : public TGraphic {
  LUMIVANE_GRAPHIC_CLASS(TMetafile, TGraphic)

 public:
  TMetafile();
  ~TMetafile() override;

  void AssignFrom(TPersistent* Source) override;
  void DrawInto(TCanvas& Canvas, const TRect& Rect) override {}
  bool IsEmpty() override;
  int ImageWidth() override { return width_; }
  int ImageHeight() override { return height_; }
  void SetImageWidth(int Value) override;
  void SetImageHeight(int Value) override;
  void SetTransparent(bool Value) override {}
  // Keeps the bytes and takes the size from a placeable or enhanced header; an empty stream
  // empties the picture; anything else raises EInvalidGraphic "Metafile is not valid".
  void ReadFromStream(TStream& Stream) override;
  void WriteToStream(TStream& Stream) override;

 private:
  std::unique_ptr<TMemoryStream> data_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace lumivane
