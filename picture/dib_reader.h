#pragma once
// Reads a device-independent bitmap (info or core header, masks, colour table, pixels) from a
// stream into a new raster-device bitmap. Uncompressed pixels go straight into the DIB section's
// memory; run-length images are kept as bytes and turned into a device bitmap.
#include <cstdint>
#include <memory>

#include "framework/memory_stream.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

class TStream;

class TDIBReader {
 public:
  struct Result {
    HBITMAP Handle = nullptr;
    bool IsSection = false;                     // Handle is a DIB section
    HPALETTE Palette = nullptr;                 // made from the colour table, or null
    std::unique_ptr<TMemoryStream> SaveStream;  // the bytes of a run-length image
    bool OS2Format = false;
    BITMAPINFOHEADER Header{};  // the header as read (colours used clipped to 256)
    // Rows of the pixel memory, from its start, that hold data; the rest were never written.
    // -1: every row.
    int FilledRows = -1;
  };

  // ImageSize: the bytes available from the header-size field on. FileHeader: the file header
  // already read, or null for resource data. Raises EInvalidGraphic "Bitmap image is not valid"
  // for bad data and EReadError "Stream read error" when the masks or colour table are cut short.
  // On failure nothing is left allocated.
  static Result Read(TStream& Stream, int64_t ImageSize, const BITMAPFILEHEADER* FileHeader);
};

}  // namespace lumivane
