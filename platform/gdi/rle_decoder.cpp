#include "platform/gdi/rle_decoder.h"

#include <algorithm>

namespace lumivane {

RleDecoder::RleDecoder(int width, int height, bool fourBits)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      fourBits_(fourBits),
      line_(static_cast<std::size_t>(width_), kUnwritten) {}

void RleDecoder::Put(int index) {
  if (x_ < width_) {
    line_[static_cast<std::size_t>(x_)] = static_cast<std::uint16_t>(index);
    lineWritten_ = true;
    ++x_;
  }
}

void RleDecoder::Flush(const LineSink& sink) {
  if (lineWritten_ && y_ < height_) sink(y_, line_.data());
  if (lineWritten_) std::fill(line_.begin(), line_.end(), kUnwritten);
  lineWritten_ = false;
}

void RleDecoder::NextLine(const LineSink& sink, int lines) {
  Flush(sink);
  y_ = static_cast<int>(std::min<long long>(static_cast<long long>(y_) + lines, height_));
}

void RleDecoder::Decode(const std::uint8_t* data, std::size_t size, const LineSink& sink) {
  std::size_t pos = 0;
  while (y_ < height_ && pos + 2 <= size) {
    const int count = data[pos];
    const int value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      // Encoded run: `count` pixels of one index (4 bits: two alternating indices).
      for (int i = 0; i < count && x_ < width_; ++i)
        Put(fourBits_ ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x_ = 0;
      NextLine(sink, 1);
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta: move right and up
      if (pos + 2 > size) break;
      const int dx = data[pos], dy = data[pos + 1];
      pos += 2;
      if (dy > 0) {
        const int x = x_;
        NextLine(sink, dy);
        x_ = x;
      }
      x_ = std::min(x_ + dx, width_);
    } else {
      // Absolute run: `value` indices follow, padded to a 2-byte boundary.
      const std::size_t bytes =
          fourBits_ ? (static_cast<std::size_t>(value) + 1) / 2 : static_cast<std::size_t>(value);
      const std::size_t available = std::min(bytes, size - pos);
      for (int i = 0; i < value; ++i) {
        const std::size_t at = fourBits_ ? static_cast<std::size_t>(i) / 2 : static_cast<std::size_t>(i);
        if (at >= available) break;
        const int b = data[pos + at];
        Put(fourBits_ ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      pos += std::min((bytes + 1) & ~std::size_t{1}, size - pos);
    }
  }
  Flush(sink);
}

}  // namespace lumivane
