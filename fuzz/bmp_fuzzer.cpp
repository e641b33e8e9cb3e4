// Bitmap files: headers, colour tables, bit fields, run-length data.
#include "fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumivane::fuzz::ReadAndDraw<lumivane::TBitmap>(data, size);
}
