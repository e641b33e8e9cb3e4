// GIF files: the block structure, every frame's LZW data, and each frame drawn over the
// previous ones on one logical screen, as the animation composes them.
#include "fuzz_target.h"
#include "gif/gif_frame.h"
#include "gif/gif_image.h"

using namespace lumivane;

namespace {

void DrawEveryFrame(TGIFImage& image) {
  TCanvas& canvas = fuzz::DrawTarget().Canvas();
  for (int i = 0; i < image.FrameCount(); ++i) {
    try {
      image.FrameAt(i)->DrawFrame(canvas, Rect(0, 0, 64, 48), true);
    } catch (const Exception&) {
      // A frame that cannot be decoded is skipped; the next one is still drawn.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TGIFImage image;
    fuzz::LoadFrom(image, data, size);
    DrawEveryFrame(image);
    image.DrawInto(fuzz::DrawTarget().Canvas(), Rect(0, 0, image.ImageWidth(), image.ImageHeight()));
  } catch (const Exception&) {
  }
  return 0;
}
