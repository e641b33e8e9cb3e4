#include "gif_test_data.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include "framework/canvas.h"
#include "framework/memory_stream.h"
#include "picture/bitmap.h"

namespace lumivane::test {

void CodePacker::Put(int code, int width) {
  accumulator_ |= static_cast<uint32_t>(code) << bits_;
  bits_ += width;
  while (bits_ >= 8) {
    bytes_.push_back(static_cast<uint8_t>(accumulator_));
    accumulator_ >>= 8;
    bits_ -= 8;
  }
}

Bytes CodePacker::Finish() {
  Bytes out = bytes_;
  if (bits_ > 0) out.push_back(static_cast<uint8_t>(accumulator_));
  return out;
}

Bytes SubBlocks(const Bytes& data, int blockSize, bool terminate) {
  Bytes out;
  for (size_t i = 0; i < data.size(); i += blockSize) {
    const size_t n = std::min<size_t>(blockSize, data.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + i, data.begin() + i + n);
  }
  if (terminate) out.push_back(0);
  return out;
}

namespace {

// Emits codes with the width the decoder will expect: the decoder defines one entry per code
// after the first that follows a clear, and widens when its next free code reaches 2^width.
class WidthTracker {
 public:
  // A stream without a leading clear code starts in the state a clear code leaves.
  WidthTracker(CodePacker& packer, int minCodeSize) : packer_(packer), min_(minCodeSize) { Reset(); }
  void Reset() {
    width_ = min_ + 1;
    next_ = (1 << min_) + 2;
    first_ = true;
  }
  void EmitClear() {
    packer_.Put(1 << min_, width_);
    Reset();
  }
  void Emit(int code) {
    packer_.Put(code, width_);
    if (first_) {
      first_ = false;
      return;
    }
    if (next_ < 4096 && ++next_ == (1 << width_) && width_ < 12) ++width_;
  }

 private:
  CodePacker& packer_;
  int min_;
  int width_ = 0;
  int next_ = 0;
  bool first_ = true;
};

}  // namespace

Bytes LzwEncode(const Bytes& pixels, int minCodeSize, const EncodeOptions& options) {
  const int clear = 1 << minCodeSize;
  CodePacker packer;
  WidthTracker out(packer, minCodeSize);
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  if (options.LeadingClear) out.EmitClear();
  if (!pixels.empty()) {
    int current = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
      const int pixel = pixels[i];
      auto found = table.find({current, pixel});
      if (found != table.end()) {
        current = found->second;
        continue;
      }
      out.Emit(current);
      if (next < 4096) {
        table[{current, pixel}] = next++;
      } else if (options.ClearWhenFull) {
        out.EmitClear();
        table.clear();
        next = clear + 2;
      }
      current = pixel;
    }
    out.Emit(current);
  }
  if (options.EndCode) out.Emit(clear + 1);
  return packer.Finish();
}

Bytes CodeData(const Bytes& pixels, int minCodeSize, const EncodeOptions& options) {
  Bytes out{static_cast<uint8_t>(minCodeSize)};
  const Bytes blocks = SubBlocks(LzwEncode(pixels, minCodeSize, options));
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

Bytes PatternPixels(int count, int colors, uint32_t seed) {
  Bytes out;
  out.reserve(count);
  uint32_t state = seed * 2654435761u + 1;
  while (static_cast<int>(out.size()) < count) {
    state = state * 1664525u + 1013904223u;
    const int value = static_cast<int>((state >> 8) % colors);
    const int run = 1 + static_cast<int>((state >> 20) % 6);
    for (int i = 0; i < run && static_cast<int>(out.size()) < count; ++i) out.push_back(value);
  }
  return out;
}

GifBuilder& GifBuilder::Raw(const Bytes& bytes) {
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  return *this;
}

GifBuilder& GifBuilder::Raw(const std::string& text) {
  data_.insert(data_.end(), text.begin(), text.end());
  return *this;
}

GifBuilder& GifBuilder::Header(const std::string& signature) { return Raw(signature); }

namespace {
void PutWord(Bytes& out, int v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
}  // namespace

int BitsFor(int count) {
  int bits = 1;
  while ((1 << bits) < count) ++bits;
  return bits;
}

GifBuilder& GifBuilder::Screen(int width, int height, const Bytes& colors, int background, int aspect) {
  PutWord(data_, width);
  PutWord(data_, height);
  const int count = static_cast<int>(colors.size() / 3);
  const int bits = count > 0 ? BitsFor(count) : 1;
  data_.push_back(static_cast<uint8_t>((count > 0 ? 0x80 : 0) | ((bits - 1) << 4) | (bits - 1)));
  data_.push_back(static_cast<uint8_t>(background));
  data_.push_back(static_cast<uint8_t>(aspect));
  return Raw(colors);
}

GifBuilder& GifBuilder::GraphicControl(int delay, bool transparent, int transparentIndex, int disposal) {
  Raw(Bytes{0x21, 0xF9, 4, static_cast<uint8_t>((disposal << 2) | (transparent ? 1 : 0))});
  PutWord(data_, delay);
  return Raw(Bytes{static_cast<uint8_t>(transparentIndex), 0});
}

GifBuilder& GifBuilder::Comment(const std::vector<std::string>& lines) {
  Raw(Bytes{0x21, 0xFE});
  for (const std::string& line : lines) {
    data_.push_back(static_cast<uint8_t>(line.size()));
    Raw(line);
  }
  return Raw(Bytes{0});
}

GifBuilder& GifBuilder::Application(const std::string& identifier, const Bytes& data) {
  Raw(Bytes{0x21, 0xFF, static_cast<uint8_t>(identifier.size())});
  Raw(identifier);
  return Raw(SubBlocks(data));
}

GifBuilder& GifBuilder::Loop(int count, const std::string& identifier) {
  return Application(identifier, Bytes{1, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)});
}

GifBuilder& GifBuilder::PlainText() {
  Raw(Bytes{0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
  return Raw(SubBlocks(Bytes{'h', 'i'}));
}

GifBuilder& GifBuilder::Image(int left, int top, int width, int height, const Bytes& codeData,
                              const Bytes& colors, bool interlaced) {
  data_.push_back(0x2C);
  PutWord(data_, left);
  PutWord(data_, top);
  PutWord(data_, width);
  PutWord(data_, height);
  const int count = static_cast<int>(colors.size() / 3);
  uint8_t packed = interlaced ? 0x40 : 0;
  if (count > 0) packed |= 0x80 | (BitsFor(count) - 1);
  data_.push_back(packed);
  Raw(colors);
  return Raw(codeData);
}

GifBuilder& GifBuilder::Trailer() { return Raw(Bytes{0x3B}); }

Bytes Palette(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    out.push_back(static_cast<uint8_t>(i * 7 + 1));
    out.push_back(static_cast<uint8_t>(i * 13 + 2));
    out.push_back(static_cast<uint8_t>(i * 31 + 3));
  }
  return out;
}

Bytes SimpleGif(int width, int height, int bits, const Bytes& pixels, bool interlaced) {
  Bytes coded = pixels;
  if (interlaced) {
    // Rows are stored in the interlaced order: every 8th from 0, from 4, every 4th from 2,
    // every 2nd from 1.
    coded.clear();
    const int starts[4] = {0, 4, 2, 1};
    const int steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = starts[pass]; y < height; y += steps[pass])
        coded.insert(coded.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  }
  GifBuilder gif;
  gif.Header().Screen(width, height, Palette(1 << bits));
  gif.Image(0, 0, width, height, CodeData(coded, std::max(bits, 2)), {}, interlaced).Trailer();
  return gif.Data();
}

std::unique_ptr<TGIFImage> LoadGif(const Bytes& bytes, bool decodeFirst) {
  auto image = std::make_unique<TGIFImage>();
  TMemoryStream stream;
  stream.Assign(bytes);
  image->ParseGIFData(static_cast<int64_t>(bytes.size()), stream, decodeFirst);
  return image;
}

std::vector<uint32_t> BitmapColors(TBitmap& bitmap) {
  std::vector<uint32_t> out;
  const int w = bitmap.ImageWidth();
  const int h = bitmap.ImageHeight();
  TCanvas& canvas = bitmap.Canvas();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t c = static_cast<uint32_t>(canvas.Pixels(x, y)) & 0xFFFFFF;
      // TColor is red in the low byte; give 0xRRGGBB.
      out.push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    }
  }
  return out;
}

std::vector<uint32_t> PaletteColors(const Bytes& indices, const Bytes& palette) {
  std::vector<uint32_t> out;
  for (uint8_t i : indices)
    out.push_back((palette[i * 3] << 16) | (palette[i * 3 + 1] << 8) | palette[i * 3 + 2]);
  return out;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CorporaDir() {
  const std::string dir = LUMIVANE_CORPORA_DIR;
  return std::filesystem::is_directory(dir + "/gif") ? dir : std::string();
}

}  // namespace lumivane::test
