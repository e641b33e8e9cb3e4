#pragma once
// Decoding of the LZW-coded pixel data of one GIF frame into the pixel rows of a bottom-up
// device-independent bitmap of 1, 4 or 8 bits per pixel.
#include <cstdint>
#include <string>

#include "picture/graphic.h"

namespace lumivane {

class TStream;

// Called as decoding starts, once per code read, and as it ends.
using TDecodeProgressHook = void (*)(TGraphic* Owner, TProgressStage Stage, int Percent,
                                     const std::string& Message);

// The hook used for frames: the owner's ReportProgress with the owner as sender, RedrawNow false
// and an empty rectangle.
void DecodeProgress(TGraphic* Owner, TProgressStage Stage, int Percent, const std::string& Message);

// Decodes Codes (the minimum code size byte, then the data sub-blocks) into Pixels: Height rows
// of DIBRowBytes(Width, Depth) zero-filled bytes, the top image row last. Literals are the codes
// below the clear code; a value wider than Depth bits keeps its low bits. Corrupt data either
// sets Corrupt and ends decoding (AcceptCorruptData) or raises EInvalidGraphicOperation. Codes
// that run out before the end code end decoding quietly: rows not reached keep pixel value 0.
// With ClipWidth and ClipHeight, Pixels holds only the image's top-left ClipWidth x ClipHeight
// part (rows of DIBRowBytes(ClipWidth, Depth) bytes); decoding stops once no stored row is left.
void DecodeLZW(TStream& Codes, int Width, int Height, int Depth, bool Interlaced, TDecodeProgressHook Hook,
               TGraphic* HookOwner, bool& Corrupt, uint8_t* Pixels, bool AcceptCorruptData,
               int ClipWidth = -1, int ClipHeight = -1);

}  // namespace lumivane
