#pragma once
// JPEG files made in the tests with libjpeg's own compressor, and small helpers to look at the
// decoded bitmaps.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/memory_stream.h"

namespace lumivane {

class TBitmap;

struct Rgb {
  uint8_t R, G, B;
};

// The colour of the test pattern at (x, y): smooth gradients that survive compression well.
Rgb PatternColour(int x, int y, int width, int height);
uint8_t PatternGray(int x, int y, int width, int height);

struct JpegOptions {
  int Width = 64;
  int Height = 48;
  bool Gray = false;
  bool Progressive = false;
  bool Cmyk = false;  // four components with an Adobe marker (inverted values)
  int Quality = 95;
  int RestartRows = 0;        // restart interval in MCU rows (0: none)
  int UnknownComponents = 0;  // above 0: that many components of no known colour space
};

// A complete JPEG file of the test pattern.
std::vector<uint8_t> MakeJpeg(const JpegOptions& options);

// A memory stream holding the bytes, positioned at 0.
std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& bytes);

// The colour of pixel (x, y) of a decoded 8- or 24-bit bitmap (8-bit through its palette).
Rgb PixelOf(TBitmap& bitmap, int x, int y);

// Largest difference of any channel between the bitmap and the pattern.
int MaxPatternError(TBitmap& bitmap, bool gray);

// A directory of the shared test corpora, or empty when it is absent.
std::string CorpusDir(const std::string& format);

}  // namespace lumivane
