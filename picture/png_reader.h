#pragma once
// Decodes PNG data held in memory into a new raster-device DIB section, for the PNG picture and
// for PNG-compressed icon entries. The data is read through a bounds-checked callback, libpng's
// errors end in an exception of the caller's choice with nothing left allocated, and the picture's
// size is checked against the program's pixel limit before any pixel memory is taken. Rows go
// straight into the section's memory; a file cut short keeps the rows it holds (the rest stay
// zero).
#include <cstdint>

#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TPNGReader {
 public:
  enum TOutput {
    // Always 32 bits: blue, green, red and straight (unassociated) alpha.
    poStraight32,
    // Palette and grey images of 1, 2, 4 or 8 bits keep one index per pixel (1, 8, 4 and 8 bits;
    // grey gets a grey colour table) with each entry's alpha in its reserved byte; every other
    // image becomes 32 bits with its colours scaled by their alpha (premultiplied).
    poCompact,
  };

  struct Result {
    HBITMAP Handle = nullptr;  // a top-down DIB section
    int Width = 0;
    int Height = 0;
    bool HasAlpha = false;  // some pixel or colour-table entry is not fully opaque
  };

  // Whether the bytes begin with the PNG signature.
  static bool IsPNG(const uint8_t* Bytes, int64_t Size);

  // Decodes the bytes. Raises EInvalidGraphic with InvalidMessage when the data is not a PNG, is
  // damaged before its first row, or declares an empty picture or one over the pixel limit;
  // EOutOfResources when the bitmap cannot be made. The caller owns the handle.
  static Result Decode(const uint8_t* Bytes, int64_t Size, TOutput Output, const char* InvalidMessage);
};

}  // namespace lumivane
