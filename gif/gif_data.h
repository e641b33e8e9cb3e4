#pragma once
// The data shared by all frames of one GIF image: the image comment and the logical screen's
// colour information. Reference-counted: copies of an image share one instance.
#include <cstdint>

#include "framework/string_list.h"
#include "gif/color_table.h"
#include "picture/shared_image.h"

namespace lumivane {

class TGIFData : public TSharedImage {
 public:
  TGIFData() = default;

  // Releases what the data holds: the comment lines.
  void FreeHandle() { CommentLines.Clear(); }

  TStringList CommentLines;  // the image comment
  uint8_t PixelAspect = 0;   // the pixel aspect byte as read
  uint8_t ColorBits = 0;     // global table size field + 1 (1..8), set even without a table
  uint8_t ColorResolution = 0;
  ColorTable GlobalColors;  // Count 0 when the file has none

 protected:
  ~TGIFData() override = default;
};

}  // namespace lumivane
