#pragma once
// The shared image data of an icon: the icon file's bytes, and the icon handle once decoded.
#include <memory>

#include "framework/memory_stream.h"
#include "picture/shared_image.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TIconImage : public TSharedImage {
 public:
  TIconImage() = default;

  HICON Handle = nullptr;                      // null until decoded
  std::unique_ptr<TMemoryStream> MemoryImage;  // the icon file's bytes
  int Width = 0;                               // 0,0 until decoded
  int Height = 0;

 protected:
  ~TIconImage() override;
};

}  // namespace lumivane
