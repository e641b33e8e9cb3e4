#pragma once
// The bitmap-file image of a GIF frame: file header, information header, palette and the pixels
// decoded from the frame's coded data, ready for TBitmap to read.
#include <array>
#include <cstdint>

#include "gif/color_table.h"

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

// Writes the bitmap-file image of Frame into Stream and rewinds it. Pixels are decoded straight
// into the stream's memory; the frame's DataCorrupt gains the decoder's corrupt flag.
void BuildDIBStream(TGIFFrame& Frame, TMemoryStream& Stream);

}  // namespace lumivane
