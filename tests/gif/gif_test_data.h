#pragma once
// Test-side GIF writing (a bit packer for hand-made code streams, a plain LZW encoder, a builder
// for whole GIF streams) and reading back the colours of decoded frames.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/gif_image.h"

namespace lumivane::test {

using Bytes = std::vector<uint8_t>;

// Packs codes least significant bit first.
class CodePacker {
 public:
  void Put(int code, int width);
  Bytes Finish();  // the packed bytes (a partial last byte included)

 private:
  Bytes bytes_;
  uint32_t accumulator_ = 0;
  int bits_ = 0;
};

// Splits data into sub-blocks of at most BlockSize bytes, ending with a zero size byte when
// Terminate.
Bytes SubBlocks(const Bytes& data, int blockSize = 255, bool terminate = true);

struct EncodeOptions {
  bool LeadingClear = true;    // start with a clear code
  bool ClearWhenFull = false;  // emit a clear code when the table is full (else keep going)
  bool EndCode = true;         // finish with the end code
};

// Codes for Pixels (values below 2^MinCodeSize) as a packed bit stream (no sub-blocks, no code
// size byte).
Bytes LzwEncode(const Bytes& pixels, int minCodeSize, const EncodeOptions& options = {});

// The code data of a frame: code size byte, then sub-blocks.
Bytes CodeData(const Bytes& pixels, int minCodeSize, const EncodeOptions& options = {});

// Deterministic pseudo-random pixels below Colors, in runs so that the strings get long.
Bytes PatternPixels(int count, int colors, uint32_t seed);

// A whole GIF stream, block by block.
class GifBuilder {
 public:
  GifBuilder& Raw(const Bytes& bytes);
  GifBuilder& Raw(const std::string& text);
  GifBuilder& Header(const std::string& signature = "GIF89a");
  // Logical screen; with a global table of 2^Bits entries when Colors is not empty.
  GifBuilder& Screen(int width, int height, const Bytes& colors = {}, int background = 0, int aspect = 0);
  GifBuilder& GraphicControl(int delay, bool transparent, int transparentIndex, int disposal);
  GifBuilder& Comment(const std::vector<std::string>& lines);
  GifBuilder& Application(const std::string& identifier, const Bytes& data);
  GifBuilder& Loop(int count, const std::string& identifier = "NETSCAPE2.0");
  GifBuilder& PlainText();
  // An image descriptor, its local table (when Colors is not empty) and its coded pixels.
  GifBuilder& Image(int left, int top, int width, int height, const Bytes& codeData, const Bytes& colors = {},
                    bool interlaced = false);
  GifBuilder& Trailer();
  const Bytes& Data() const { return data_; }

 private:
  Bytes data_;
};

// Colour tables: Count entries of red, green, blue; entry i = (i * 7 + 1, i * 13 + 2, i * 31 + 3)
// (mod 256) so that every entry differs.
Bytes Palette(int count);
// Bits of a table of Count entries (Count a power of two, 2..256).
int BitsFor(int count);

// A whole single-frame GIF of the given pixels (global table of 2^Bits colours).
Bytes SimpleGif(int width, int height, int bits, const Bytes& pixels, bool interlaced = false);

// Parses the bytes as GIF data (decoding frame 0 when DecodeFirst).
std::unique_ptr<TGIFImage> LoadGif(const Bytes& bytes, bool decodeFirst = true);
// The colours (0xRRGGBB) of a bitmap, top row first.
std::vector<uint32_t> BitmapColors(TBitmap& bitmap);
// Palette[index] (0xRRGGBB) for each index.
std::vector<uint32_t> PaletteColors(const Bytes& indices, const Bytes& palette);
Bytes ReadFileBytes(const std::string& path);
// The folder of third-party test images; empty when it is absent.
std::string CorporaDir();

}  // namespace lumivane::test
