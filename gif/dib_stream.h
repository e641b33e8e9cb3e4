#pragma once
// The bitmap-file image of a GIF frame: file header, information header, palette and the pixels
// decoded from the frame's coded data, ready for TBitmap to read.
#include <array>
#include <cstdint>

#include "gif/color_table.h"
#include "gif/gif_item.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TGIFFrame;
class TMemoryStream;

// Bits per pixel of the bitmap for a colour table of ColorBits bits: 1 -> 1, 2..4 -> 4,
// 5..8 -> 8; anything else raises EInvalidGraphicOperation "Wrong number of colors; must be a
// power of 2".
int DIBDepthForBits(int ColorBits);

// 256 bitmap palette entries (blue, green, red, 0): the table's entries first, the rest grey
// (every byte 128).
std::array<uint8_t, 256 * 4> ExpandPalette(const ColorTable& Colors);

// The colours a frame is shown with: its own or the global table; without any table, a default
// one of 2^bits evenly spaced greys (black and white for 1 bit), bits being the logical screen's
// colour-table size.
ColorTable FrameColors(const TGIFFrame& Frame, int* ColorBits = nullptr);

// The part of the frame that lies on the logical screen (the whole frame when the screen has no
// size): width and height of the frame's bitmap, counted from the frame's top-left corner.
TGIFImageSize FrameClip(const TGIFFrame& Frame);

// Writes the bitmap-file image of Frame into Stream and rewinds it. Pixels are decoded straight
// into the stream's memory; the frame's DataCorrupt gains the decoder's corrupt flag.
void BuildDIBStream(TGIFFrame& Frame, TMemoryStream& Stream);

// Decodes the frame into a new DIB section of 1, 4 or 8 bits per pixel (rows bottom-up) holding
// the frame's part on the logical screen, or null when that part is empty. The pixel memory is
// fresh and only the decoder writes it. The frame's DataCorrupt gains the decoder's corrupt flag.
HBITMAP DecodeFrameSection(TGIFFrame& Frame);

}  // namespace lumivane
