#pragma once
// A drawing surface over a raster-device context: font, brush and pen are selected into the
// context lazily, just before the first operation that needs them.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "framework/brush.h"
#include "framework/font.h"
#include "framework/pen.h"
#include "framework/persistent.h"
#include "framework/set.h"
#include "framework/types.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/gdi_types.h"

namespace lumivane {

enum TCanvasStateKind { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = TSet<TCanvasStateKind>;

class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context; calls CreateHandle when there is none and raises EInvalidOperation
  // "Canvas does not allow drawing" when there is still none.
  HDC Handle();
  // Takes a context (null gives it back: the canvas's objects are deselected from the old one).
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return handle_ != nullptr; }

  TFont& Font() { return font_; }
  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  DWORD CopyMode() const { return copy_mode_; }
  void SetCopyMode(DWORD mode) { copy_mode_ = mode; }
  TPoint PenPos() const { return pen_pos_; }
  void SetPenPos(TPoint p);

  // Fills with the brush (the right and bottom edges are outside the rectangle).
  void FillRect(const TRect& rect);
  void FrameRect(const TRect& rect);
  void Rectangle(int left, int top, int right, int bottom);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Text in the font's colour with (x, y) at the top-left of the cell; the brush colour is the
  // background unless the brush style is bsClear.
  void TextOut(int x, int y, const std::string& text);
  // As TextOut, clipped to rect.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  void DrawFocusRect(const TRect& rect);
  // Stretches the source rectangle onto the destination with CopyMode.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& src);
  // Copies the source rectangle, leaving the pixels of transparentColor undrawn.
  void BrushCopy(const TRect& dest, TCanvas& source, const TRect& src, TColor transparentColor);

  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);

  // One re-entrant lock per canvas, for drawing from several threads.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return lock_count_; }

  // Makes sure the context exists and the named objects are selected into it (for drawing with
  // the raw device calls on Handle()).
  void RequiredState(TCanvasState required);

  // Gives the context its default objects again and forgets what was selected.
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Called by Handle() when there is no context; the base has none to offer.
  virtual void CreateHandle();
  virtual void Changing();
  virtual void Changed();

 private:
  void CreateFont();
  void CreatePen();
  void CreateBrush();
  void DeselectHandles();
  void FontChanged();
  void PenChanged();
  void BrushChanged();

  HDC handle_ = nullptr;
  TCanvasState state_;
  TFont font_;
  TBrush brush_;
  TPen pen_;
  DWORD copy_mode_ = SRCCOPY;
  TPoint pen_pos_;
  std::recursive_mutex lock_;
  std::atomic<int> lock_count_{0};
  // What the context held before the canvas selected its own objects.
  HGDIOBJ old_font_ = nullptr;
  HGDIOBJ old_brush_ = nullptr;
  HGDIOBJ old_pen_ = nullptr;
};

}  // namespace lumivane
