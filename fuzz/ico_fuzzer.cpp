// Icon files: the directory, the entry choice and each entry's image and masks.
#include "fuzz_target.h"
#include "picture/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return lumivane::fuzz::ReadAndDraw<lumivane::TIcon>(data, size);
}
