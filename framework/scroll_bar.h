#pragma once
// The vertical scroll bar of a list: a strip at the list's right edge with an arrow button at each
// end, a track between them and a thumb whose length is the visible share of the list. Pressing an
// arrow scrolls one line, pressing the track scrolls a page towards the pointer, dragging the thumb
// scrolls with it; an arrow or the track held down repeats its step. The bar lives on a child
// window of the list's window, so its presses never reach the list (no click, no double click, no
// change of selection), and it paints itself through a canvas in the 3-D look of the other controls.
#include <functional>
#include <memory>

#include "framework/canvas.h"
#include "framework/types.h"

class QTimer;
class QWidget;

namespace lumivane {

class TScrollBar {
 public:
  // The bar's width, and the height of each arrow button when there is room.
  static constexpr int DefaultWidth = 16;
  // The shortest thumb; a track shorter than this shows none.
  static constexpr int MinThumbLength = 8;

  TScrollBar();
  ~TScrollBar();
  TScrollBar(const TScrollBar&) = delete;
  TScrollBar& operator=(const TScrollBar&) = delete;

  // ---- range ----------------------------------------------------------------------------------
  // Total lines, lines one page shows, and the first line shown (kept within 0..MaxPosition).
  void SetParams(int Total, int PageSize, int Position);
  int Total() const { return total_; }
  int PageSize() const { return page_; }
  int Position() const { return position_; }
  int MaxPosition() const;
  // The distance a press on the track scrolls: one line less than a page, at least one line.
  int PageStep() const;

  // ---- placement ------------------------------------------------------------------------------
  // Shows the bar as a child window of Host at Bounds (Host's coordinates).
  void Place(QWidget* Host, const TRect& Bounds);
  void Hide();
  // The bar's window while it is placed on a host, else null.
  QWidget* Widget() const;
  int Width() const { return width_; }
  int Height() const { return height_; }

  // ---- parts, in the bar's own coordinates ------------------------------------------------------
  TRect UpArrowRect() const;
  TRect DownArrowRect() const;
  // The part between the arrows.
  TRect TrackRect() const;
  // Empty when nothing can scroll or the track has no room for a thumb.
  TRect ThumbRect() const;

  // ---- input and painting ---------------------------------------------------------------------
  // The left button at a point of the bar (its own coordinates). The bar's window calls these.
  void MouseDown(int X, int Y);
  void MouseMove(int X, int Y);
  void MouseUp(int X, int Y);
  // Paints the whole bar with its top-left corner at the canvas's origin.
  void Paint(TCanvas& Canvas, bool Enabled);

  // Fired with the new first line whenever the user scrolls; the owner shows that line first.
  std::function<void(int Position)> OnScroll;

 private:
  class TBarWidget;
  enum class THit { None, UpArrow, DownArrow, PageUp, PageDown, Thumb };

  THit HitTest(int X, int Y) const;
  // Runs the held part's step once (an arrow while the pointer is on it, the track until the thumb
  // reaches the pointer).
  void Step();
  void RepeatStep();
  void ScrollTo(int Position);
  void Repaint();
  // The thumb's top for a position, and the position whose thumb top is nearest to Top.
  int ThumbTopFor(int Position, int ThumbLength) const;
  int ThumbLength() const;
  void PaintArrow(TCanvas& Canvas, const TRect& Rect, bool Up, bool Pressed, bool Enabled);
  void PaintTrack(TCanvas& Canvas, const TRect& Rect);

  int total_ = 0;
  int page_ = 1;
  int position_ = 0;
  int width_ = 0;
  int height_ = 0;
  THit held_ = THit::None;  // the part the button went down on, while it is down
  int pointer_x_ = 0;
  int pointer_y_ = 0;
  int drag_offset_ = 0;  // the pointer's distance below the thumb's top while dragging
  std::unique_ptr<QTimer> repeat_timer_;
  TBarWidget* widget_ = nullptr;  // a child of the host's window; cleared when Qt destroys it
};

}  // namespace lumivane
