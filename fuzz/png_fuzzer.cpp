// PNG files through the library and the picture's own reader (bounds, rows, transparency).
#include "fuzz_target.h"
#include "picture/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumivane::fuzz::ReadAndDraw<lumivane::TPNGImage>(data, size);
}
