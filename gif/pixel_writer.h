#pragma once
// The pixel writer of the LZW decoder: stores pixel values of 1, 4 or 8 bits into a bottom-up
// device-independent bitmap, row by row, in plain or interlaced row order.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lumivane {

// The row after Y in the interlaced order (rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...),
// advancing Pass (0..3) when a pass is exhausted. Returns a row >= Height after the last row.
int NextInterlacedRow(int y, int height, int& pass);

// Bytes in one row of a bitmap of the given width and depth, padded to a multiple of 4.
inline int64_t DIBRowBytes(int width, int depth) {
  return (static_cast<int64_t>(width) * depth + 31) / 32 * 4;
}

class TPixelWriter {
 public:
  // Pixels: ClipHeight rows of DIBRowBytes(ClipWidth, Depth) zero-filled bytes; image row 0 (the
  // top) is the last row in memory. The image is Width x Height pixels; only its top-left
  // ClipWidth x ClipHeight part is stored, the rest is decoded and dropped. A frame without
  // pixels (width or height 0) ignores every value.
  TPixelWriter(uint8_t* pixels, int width, int height, int depth, bool interlaced, int clipWidth = -1,
               int clipHeight = -1)
      : pixels_(pixels),
        width_(width),
        height_(height),
        depth_(depth),
        interlaced_(interlaced),
        clipWidth_(clipWidth < 0 ? width : std::min(clipWidth, width)),
        clipHeight_(clipHeight < 0 ? height : std::min(clipHeight, height)),
        stride_(DIBRowBytes(clipWidth_, depth)) {
    if (width_ <= 0 || height_ <= 0) y_ = height_ > 0 ? height_ : 0;
    // Rows cut on the right, and interlaced rows below the stored part, go through a scratch row.
    if (width_ > 0 && (clipWidth_ < width_ || (interlaced_ && clipHeight_ < height_)))
      scratch_.assign(static_cast<size_t>(DIBRowBytes(width_, depth)), 0);
    SetRowStart();
  }
  ~TPixelWriter() { FlushRow(); }
  TPixelWriter(const TPixelWriter&) = delete;
  TPixelWriter& operator=(const TPixelWriter&) = delete;

  // Stores one value at the current position and advances; values past the last row are ignored.
  void PutPixel(uint32_t value) {
    if (Finished()) return;
    switch (depth_) {
      case 1: {
        uint8_t& byte = row_[x_ >> 3];
        const int bit = x_ & 7;
        if (bit == 0)
          byte = static_cast<uint8_t>(value << 7);
        else
          byte |= static_cast<uint8_t>(value << (7 - bit));
        break;
      }
      case 4: {
        uint8_t& byte = row_[x_ >> 1];
        if ((x_ & 1) == 0)
          byte = static_cast<uint8_t>(value << 4);
        else
          byte |= static_cast<uint8_t>(value);
        break;
      }
      default:
        row_[x_] = static_cast<uint8_t>(value);
        break;
    }
    if (++x_ == width_) NextRow();
  }

  // No stored row is left to write: the rows below the stored part of a plain image are never
  // decoded.
  bool Finished() const { return y_ >= height_ || (y_ >= clipHeight_ && (!interlaced_ || pass_ == 3)); }
  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return width_; }

  // Direct access for 8-bit strings that fit in the current row: the caller writes Count bytes at
  // RowCursor() and then calls Advance(Count), with Count <= RowRemaining().
  int RowRemaining() const { return Finished() ? 0 : width_ - x_; }
  uint8_t* RowCursor() { return row_ + x_; }
  void Advance(int count) {
    x_ += count;
    if (x_ == width_) NextRow();
  }

 private:
  void NextRow() {
    FlushRow();
    // A row cut short later must not show this row's pixels.
    if (!scratch_.empty()) std::memset(scratch_.data(), 0, static_cast<size_t>(stride_));
    x_ = 0;
    y_ = interlaced_ ? NextInterlacedRow(y_, height_, pass_) : y_ + 1;
    SetRowStart();
  }
  uint8_t* StoredRow(int y) const { return pixels_ + (clipHeight_ - 1 - y) * stride_; }
  void SetRowStart() {
    if (y_ >= height_) {
      row_ = nullptr;
    } else if (scratch_.empty()) {
      row_ = y_ < clipHeight_ ? StoredRow(y_) : nullptr;
    } else {
      row_ = scratch_.data();
    }
  }
  // Copies the stored part of a row decoded through the scratch row.
  void FlushRow() {
    if (scratch_.empty() || row_ == nullptr || y_ >= clipHeight_ || x_ == 0) return;
    std::memcpy(StoredRow(y_), scratch_.data(), static_cast<size_t>(stride_));
  }

  uint8_t* pixels_;
  int width_;
  int height_;
  int depth_;
  bool interlaced_;
  int clipWidth_;
  int clipHeight_;
  int64_t stride_;
  std::vector<uint8_t> scratch_;
  int x_ = 0;
  int y_ = 0;
  int pass_ = 0;
  uint8_t* row_ = nullptr;
};

}  // namespace lumivane
