#pragma once
// The 32-bit surface on which the frames of a GIF are composed. Its pixels are written directly:
// the surface is created from fresh memory that nothing fills in advance, the background fill is
// the first write, and frames are copied onto it from their colour indices, with no temporary
// surface in between. A surface may hold a sample of the screen rather than all of it: the pixels
// that a shrunk or partly visible drawing of the screen shows, and nothing else.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "framework/types.h"

namespace lumivane {

class TBitmap;
class TGIFFrame;

// Which screen pixels a sampled surface holds: its column i is screen column Columns[i] and its row
// j is screen row Rows[j]. Neither list decreases, and every entry lies on the screen.
struct TScreenSampling {
  std::vector<int> Columns;
  std::vector<int> Rows;
  bool operator==(const TScreenSampling&) const = default;
};

class TComposedSurface {
 public:
  // A bitmap holding a new top-down 32-bit DIB section of Width x Height pixels; null when the
  // size is empty or the memory cannot be had.
  static std::unique_ptr<TBitmap> NewBitmap(int Width, int Height);

  // Works on Bitmap's pixels when it is a 32-bit DIB section (see Valid). With a Sampling, the
  // bitmap holds those screen pixels (its size must be the lists' lengths); without one, it is the
  // screen itself. Rectangles and positions below are in screen pixels either way.
  explicit TComposedSurface(TBitmap& Bitmap, const TScreenSampling* Sampling = nullptr);

  bool Valid() const { return bits_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Fills the part of Rect on the surface with Color (an RGB colour value).
  void Fill(const TRect& Rect, TColor Color);

  // Copies the frame's decoded pixels with their top-left corner at (X, Y), clipped to the
  // surface. With UseTransparency, pixels of the frame's transparent index are left out (when
  // the index is not known, every entry of the transparent colour). False, with nothing drawn,
  // when the frame's bitmap is not an indexed DIB section decoded from the frame's own data.
  bool DrawFrame(TGIFFrame& Frame, int X, int Y, bool UseTransparency);

 private:
  uint32_t* Row(int y) const { return reinterpret_cast<uint32_t*>(bits_ + static_cast<int64_t>(y) * step_); }
  // The surface columns (or rows) that show screen positions First..Last-1.
  std::pair<int, int> ColumnsShowing(int64_t First, int64_t Last) const;
  std::pair<int, int> RowsShowing(int64_t First, int64_t Last) const;
  int ScreenColumn(int i) const { return sampling_ ? sampling_->Columns[i] : i; }
  int ScreenRow(int j) const { return sampling_ ? sampling_->Rows[j] : j; }

  const TScreenSampling* sampling_ = nullptr;

  uint8_t* bits_ = nullptr;  // the top row
  int64_t step_ = 0;         // bytes from one row to the next one down
  int width_ = 0;
  int height_ = 0;
};

}  // namespace lumivane
