#pragma once
// Writes a raster-device bitmap as a bitmap file (file header, 40-byte header, masks, colour
// table, bottom-up rows).
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

class TStream;

class TDIBWriter {
 public:
  // Description supplies the depth, compression and masks of a DIB section; a device bitmap is
  // written at its own depth (1 or 32 bits).
  static void Write(TStream& Stream, HBITMAP Bitmap, const DIBSECTION& Description);
};

}  // namespace lumivane
