// Shared by the fuzz targets: each target hands the fuzzer's bytes to one reader as a memory
// stream and draws what it read, so that the decoders and the drawing paths see hostile data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "picture/bitmap.h"
#include "picture/graphic.h"

namespace lumivane::fuzz {

// A small 32-bit target to draw into, as the viewer's window buffer would be.
inline TBitmap& DrawTarget() {
  static TBitmap* target = [] {
    auto* bitmap = new TBitmap;
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(64, 48);
    return bitmap;
  }();
  return *target;
}

inline void LoadFrom(TGraphic& graphic, const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.Write(data, static_cast<int64_t>(size));
  stream.SetPosition(0);
  graphic.ReadFromStream(stream);
}

// Reads, then draws the picture fitted into the target and at its natural size (clipped), the
// two ways the viewer shows a picture. The readers' own exceptions are the expected outcome of
// bad data; anything else escapes and is reported as a finding.
template <typename Graphic>
int ReadAndDraw(const uint8_t* data, size_t size) {
  try {
    Graphic graphic;
    LoadFrom(graphic, data, size);
    TCanvas& canvas = DrawTarget().Canvas();
    graphic.DrawInto(canvas, Rect(0, 0, 64, 48));
    const int width = graphic.ImageWidth();
    const int height = graphic.ImageHeight();
    graphic.DrawInto(canvas, Rect(0, 0, width, height));
  } catch (const Exception&) {
  }
  return 0;
}

}  // namespace lumivane::fuzz
