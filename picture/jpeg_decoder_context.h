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
  // Four-component (CMYK, YCCK) files decode into this row and are converted to blue, green, red
  // in the bitmap's row; null for every other file.
  JSAMPROW CmykRow;
  boolean ConvertCmyk;
  // Where output row 0 lies in the bitmap's memory and the signed distance to the next row
  // (negative when the rows lie bottom-up).
  JSAMPLE* FirstRow;
  ptrdiff_t RowDelta;
  jpeg_decompress_struct Info;  // Info.err points at ErrorManager
};

}  // namespace lumivane
