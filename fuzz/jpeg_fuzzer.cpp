// JPEG files through the library and the picture's own glue (decoded when first drawn).
#include "fuzz_target.h"
#include "picture/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumivane::fuzz::ReadAndDraw<lumivane::TJPEGImage>(data, size);
}
