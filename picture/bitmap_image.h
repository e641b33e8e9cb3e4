#pragma once
// The shared image data of a bitmap: its handles, its description and, for run-length images,
// the bytes as read.
#include <memory>

#include "framework/memory_stream.h"
#include "picture/shared_image.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

class TBitmapImage : public TSharedImage {
 public:
  TBitmapImage() = default;

  HBITMAP Handle = nullptr;                   // the device bitmap (the section itself for a DIB section)
  HBITMAP MaskHandle = nullptr;               // monochrome transparency mask, made on demand
  HPALETTE Palette = nullptr;                 // null when none
  HBITMAP DIBHandle = nullptr;                // the DIB section; null for a device bitmap only
  DIBSECTION DIB{};                           // the image description
  std::unique_ptr<TMemoryStream> SaveStream;  // bytes of a compressed bitmap as read
  bool OS2Format = false;                     // read from a 12-byte core header
  bool Halftone = false;                      // the palette is a half-tone palette
  // Rows of pixel memory, from its start, that a decoder wrote; the rest were never written and
  // read as black. -1: every row holds pixels.
  int FilledRows = -1;

  // Frees the handles (the bitmaps are first taken out of any canvas holding them).
  void FreeHandles();

 protected:
  ~TBitmapImage() override;
};

}  // namespace lumivane
