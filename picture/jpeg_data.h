#pragma once
// The compressed data of a JPEG picture and the values read from its header. Several TJPEGImage
// objects may share one TJPEGData; the bytes are never changed in place, only replaced as a whole.
#include <memory>

#include "framework/memory_stream.h"
#include "picture/shared_image.h"

namespace lumivane {

class TJPEGData : public TSharedImage {
 public:
  TJPEGData() = default;

  std::unique_ptr<TMemoryStream> CompressedStream;  // the complete file bytes, or none
  int HeaderHeight = 0;
  int HeaderWidth = 0;
  bool IsGray = false;  // the file's colour space is grayscale
  // How the stored picture is turned to stand upright (the EXIF orientation, 1 to 8; 1 when the
  // file has none). Orientations 5 to 8 exchange the header's width and height.
  int Orientation = 1;

 protected:
  ~TJPEGData() override;  // frees CompressedStream; called by DropReference only
};

}  // namespace lumivane
