#pragma once
// The pixel writer of the LZW decoder: stores pixel values of 1, 4 or 8 bits into a bottom-up
// device-independent bitmap, row by row, in plain or interlaced row order.
#include <cstdint>

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
  // Pixels: Height rows of DIBRowBytes(Width, Depth) bytes, zero-filled; image row 0 (the top) is
  // the last row in memory. A frame without pixels (width or height 0) ignores every value.
  TPixelWriter(uint8_t* pixels, int width, int height, int depth, bool interlaced)
      : pixels_(pixels),
        width_(width),
        height_(height),
        depth_(depth),
        interlaced_(interlaced),
        stride_(DIBRowBytes(width, depth)) {
    if (width_ <= 0 || height_ <= 0) y_ = height_ > 0 ? height_ : 0;
    SetRowStart();
  }

  // Stores one value at the current position and advances; values past the last row are ignored.
  void PutPixel(uint32_t value) {
    if (y_ >= height_) return;
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

  bool Finished() const { return y_ >= height_; }
  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return width_; }

  // Direct access for 8-bit strings that fit in the current row: the caller writes Count bytes at
  // RowCursor() and then calls Advance(Count), with Count <= RowRemaining().
  int RowRemaining() const { return y_ < height_ ? width_ - x_ : 0; }
  uint8_t* RowCursor() { return row_ + x_; }
  void Advance(int count) {
    x_ += count;
    if (x_ == width_) NextRow();
  }

 private:
  void NextRow() {
    x_ = 0;
    y_ = interlaced_ ? NextInterlacedRow(y_, height_, pass_) : y_ + 1;
    SetRowStart();
  }
  void SetRowStart() { row_ = y_ < height_ ? pixels_ + (height_ - 1 - y_) * stride_ : nullptr; }

  uint8_t* pixels_;
  int width_;
  int height_;
  int depth_;
  bool interlaced_;
  int64_t stride_;
  int x_ = 0;
  int y_ = 0;
  int pass_ = 0;
  uint8_t* row_ = nullptr;
};

}  // namespace lumivane
