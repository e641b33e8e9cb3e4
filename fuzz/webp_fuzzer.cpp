// WebP files through the library: the container, lossy, lossless and alpha data.
#include "fuzz_target.h"
#include "picture/webp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumivane::fuzz::ReadAndDraw<lumivane::TWebPImage>(data, size);
}
