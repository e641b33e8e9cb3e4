#pragma once
// Stretch-drawing of a bitmap with one colour left transparent, by the mask technique.
#include "framework/types.h"

namespace lumivane {

class TBitmap;
class TCanvas;

// Stretches Source (a rectangle of Bitmap) onto Canvas at (X, Y, Width, Height); pixels of
// TransparentColor leave the canvas unchanged. A width or height below 1 takes the bitmap's; an
// empty source rectangle takes the whole bitmap. clDefault means the bitmap's bottom-left pixel;
// clNone draws every pixel. The bitmap's canvas is locked for the whole drawing.
void StretchTransparent(TCanvas& Canvas, int X, int Y, int Width, int Height, TBitmap& Bitmap, TRect Source,
                        TColor TransparentColor);

}  // namespace lumivane
