// GIF files: the block structure, every frame's LZW data, and each frame drawn over the
// previous ones on one logical screen, as the animation composes them; then the first frames
// painted by the animated control, stretched and at natural size.
#include <algorithm>

#include "fuzz_target.h"
#include "gif/gif_animator.h"
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

// The control composes only the screen pixels it shows, sampled from screens of any size.
void PaintInTheControl(TGIFImage& image) {
  TGIFAnimator animator(nullptr);
  animator.SetAutoSize(false);
  animator.SetBounds(0, 0, 64, 48);
  animator.Image()->AssignFrom(&image);
  HDC target = fuzz::DrawTarget().Canvas().Handle();
  for (const bool stretched : {true, false}) {
    animator.SetStretch(stretched);
    animator.SetCenter(!stretched);
    for (int i = 0; i < std::min(image.FrameCount(), 4); ++i) {
      animator.SetFrameIndex(i);
      try {
        animator.PaintWindow(target);
      } catch (const Exception&) {
        // A frame that cannot be decoded paints nothing; the next one is still tried.
      }
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
    PaintInTheControl(image);
  } catch (const Exception&) {
  }
  return 0;
}
