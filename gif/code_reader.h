#pragma once
// The bit reader of the LZW decoder: codes packed least significant bit first inside GIF data
// sub-blocks (a size byte, then that many bytes), refilled one sub-block at a time.
#include <cstdint>
#include <cstring>

#include "framework/stream.h"

namespace lumivane {

class TCodeReader {
 public:
  // Returned by NextCode when the stream holds fewer bits than the next code needs.
  static constexpr int NoMoreData = -1;

  explicit TCodeReader(TStream& stream) : stream_(stream), size_(stream.Size()) {}

  // Code width in bits (1..12).
  void SetWidth(int width) {
    width_ = width;
    mask_ = (1u << width) - 1;
  }
  int Width() const { return width_; }

  // The next code of the current width, or NoMoreData once the sub-blocks are exhausted. A
  // sub-block shorter than its size byte raises EReadError "Stream read error".
  int NextCode() {
    if (bitPos_ + width_ > validBits_ && !Refill()) return NoMoreData;
    const uint8_t* p = buffer_ + (bitPos_ >> 3);
    const uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16);
    const int code = static_cast<int>((bits >> (bitPos_ & 7)) & mask_);
    bitPos_ += width_;
    return code;
  }

  int64_t StreamSize() const { return size_; }
  int64_t StreamPosition() { return stream_.Position(); }

 private:
  // Drops the bytes already consumed (keeping the partly used ones at the start of the buffer) and
  // appends sub-blocks until the next code fits or the stream ends. Zero-size blocks add nothing.
  bool Refill() {
    int64_t position = stream_.Position();
    while (bitPos_ + width_ > validBits_ && position < size_) {
      const int dropped = bitPos_ >> 3;
      const int kept = (validBits_ >> 3) - dropped;
      std::memmove(buffer_, buffer_ + dropped, kept);
      bitPos_ &= 7;
      validBits_ = kept * 8;
      uint8_t count = 0;
      stream_.ReadBuffer(&count, 1);
      stream_.ReadBuffer(buffer_ + kept, count);
      validBits_ += count * 8;
      position += 1 + count;
    }
    return bitPos_ + width_ <= validBits_;
  }

  TStream& stream_;
  const int64_t size_;
  int width_ = 0;
  uint32_t mask_ = 0;
  int bitPos_ = 0;
  int validBits_ = 0;
  // At most 3 carried bytes and one 255-byte sub-block, plus slack for the 3-byte code fetch.
  uint8_t buffer_[264] = {};
};

}  // namespace lumivane
