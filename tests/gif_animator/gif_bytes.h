#pragma once
// Small hand-built animated GIFs for the animation tests, pixel reading and event-loop waits.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi/gdi_objects.h"

namespace lumivane {
class TGIFImage;
}

namespace lumivane::test {

using Bytes = std::vector<uint8_t>;

// Indices into the eight-colour global table of every test GIF.
enum : uint8_t { kBlack, kRed, kGreen, kBlue, kYellow, kMagenta, kCyan, kWhite };

struct FrameDesc {
  int Left, Top, Width, Height;
  Bytes Pixels;  // colour indices row by row; a single value fills the frame
  int Disposal = 0;
  int Delay = 5;  // hundredths of a second
  int TransparentIndex = -1;
};

// A GIF89a stream of the frames, with a loop block when LoopCount >= 0.
Bytes BuildGif(int Width, int Height, const std::vector<FrameDesc>& Frames, int Background = 0,
               int LoopCount = -1);
void LoadGif(TGIFImage& Image, const Bytes& Data);
// The colour (0xRRGGBB) of a pixel of a bitmap.
uint32_t PixelOf(HBITMAP Bitmap, int X, int Y);
// Runs the event loop until Done holds or TimeoutMs passed; returns Done().
bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs = 3000);
void PumpFor(int Milliseconds);

}  // namespace lumivane::test
