#pragma once
// The coded data of one GIF frame, shared by reference between copies of the frame.
#include <cstdint>
#include <memory>

#include "framework/memory_stream.h"
#include "gif/color_table.h"
#include "picture/shared_image.h"

namespace lumivane {

struct TGIFImageSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

class TGIFItem : public TSharedImage {
 public:
  TGIFItem() = default;

  // Releases the coded bytes (the stream stays, empty).
  void FreeHandle() {
    if (CodeData) CodeData->SetSize(0);
  }

  // The LZW minimum code size byte, then the data sub-blocks as in the file; null when none.
  std::unique_ptr<TMemoryStream> CodeData;
  TGIFImageSize ImageSize;
  uint8_t DescriptorFlags = 0;  // the packed byte of the image descriptor
  uint8_t ColorBits = 0;        // bits of the frame's colour table; 0 without any table
  ColorTable Colors;            // the local table, or a copy of the global one

 protected:
  ~TGIFItem() override = default;
};

}  // namespace lumivane
