#pragma once
// The state of one decode: the error manager, the progress manager with its throttle, the final
// decoding choices kept for the last pass of a progressive display, and the decompression record.
// It lives on the stack of the decoding call and is zero-filled before use.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace lumivane {

class TJPEGImage;
struct DecoderContext;

// libjpeg's progress manager extended by the image it reports for and the throttle's memory.
struct JpegProgressManager {
  jpeg_progress_mgr Base;  // first, so libjpeg's pointer is also ours
  TJPEGImage* Owner;       // null: no progress reporting
  DecoderContext* Context;
  int LastPercent;    // last percentage reported
  uint32_t LastTime;  // tick count of the last report; 0 before the first call
  int LastRow;        // output row reached at the last report
};

struct DecoderContext {
  jpeg_error_mgr ErrorManager;
  JpegProgressManager Progress;
  J_DCT_METHOD FinalDctMethod;
  boolean FinalTwoPassQuantize;
  J_DITHER_MODE FinalDitherMode;
  // Rows that cannot go straight into the bitmap are decoded into this strip of a few rows
  // first: four-component (CMYK, YCCK) rows, converted to blue, green, red, and the rows of a
  // picture whose orientation exchanges its axes. Null for every other file.
  JSAMPLE* Strip;
  boolean ConvertCmyk;
  // The EXIF orientation the rows are turned by on their way into the bitmap (1 to 8).
  int Orientation;
  // Where upright row 0 lies in the bitmap's memory, the signed distance to the next row
  // (negative when the rows lie bottom-up) and the bytes of one pixel (1 or 3).
  JSAMPLE* FirstRow;
  ptrdiff_t RowDelta;
  int PixelBytes;
  jpeg_decompress_struct Info;  // Info.err points at ErrorManager
};

}  // namespace lumivane
