#pragma once
// The base of every visual control: bounds, visibility, alignment, anchors, colour, font, cursor,
// mouse events and painting. Bounds, visibility and alignment are framework state changed
// synchronously; the Qt widget follows.
#include <mutex>
#include <string>

#include "framework/component.h"
#include "framework/control_types.h"
#include "framework/font.h"
#include "framework/types.h"
#include "platform/gdi/gdi_objects.h"

class QWidget;

namespace lumivane {

class TWinControl;
class TForm;
class TControlWidget;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // ---- parent and bounds ----------------------------------------------------------------------
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* AParent);
  // The form this control sits on (the control itself for a form), or null.
  TForm* ParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
  void SetTop(int value) { SetBounds(left_, value, width_, height_); }
  void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
  void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
  // Changes the bounds; a size change fires Resize (children of a windowed control are aligned
  // first), then the parent runs its align pass.
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }
  void SetClientWidth(int value);
  void SetClientHeight(int value);
  // Client coordinates of this control to screen coordinates and back.
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;

  // ---- visibility and layout ------------------------------------------------------------------
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to the form visible too.
  bool Showing() const;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors value);
  bool AutoSize() const { return auto_size_; }
  virtual void SetAutoSize(bool value);
  // Moves the control to the end (top) or start (bottom) of its parent's z-order.
  void BringToFront();
  void SendToBack();

  // ---- appearance -----------------------------------------------------------------------------
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parent_color_; }
  void SetParentColor(bool value);
  TFont& Font() { return font_; }
  bool ParentFont() const { return parent_font_; }
  void SetParentFont(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool value);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);

  TControlStyle ControlStyle;
  TControlState ControlState;

  // ---- painting -------------------------------------------------------------------------------
  // Schedules a repaint.
  void Invalidate();
  // Repaints at once (on the main thread; from another thread it schedules one).
  void Repaint();
  void Refresh() { Repaint(); }
  void Update();
  // Paints the control into DC: the "paint message". Controls with a canvas point it at DC and
  // call Paint (the base paints nothing).
  virtual void PaintWindow(HDC DC);
  // Fills DC before painting: windowed controls with their own colour (the "erase background"
  // message), windowless ones with their parent's colour.
  virtual void EraseBackground(HDC DC);
  // A context onto the control's off-screen image, usable from any thread; what is drawn there is
  // shown when ReleasePaintDC runs (the image is not painted again for that). Only one thread
  // holds it at a time.
  HDC AcquirePaintDC();
  void ReleasePaintDC(HDC DC);
  // The off-screen bitmap the last paint went to (32-bit), or null. It holds the part of the client
  // area that was painted, starting at PaintOrigin() (in client coordinates).
  HBITMAP PaintBitmap() const { return paint_bitmap_; }
  TPoint PaintOrigin() const { return TPoint{buffer_area_.Left, buffer_area_.Top}; }

  // The Qt widget showing this control, or null while there is none.
  QWidget* Widget() const;

  // ---- events ---------------------------------------------------------------------------------
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

  // Entry points of the window system (the Qt widget calls these; tests may too). Every exception
  // escaping the control's handlers is caught here and goes to the application's error report.
  void DispatchMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool DoubleClick);
  void DispatchMouseMove(TShiftState Shift, int X, int Y);
  void DispatchMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  // The mouse wheel turned by WheelDelta (120 per notch, positive away from the user); returns
  // whether the control used it (otherwise it goes on to the parent).
  bool DispatchMouseWheel(TShiftState Shift, int WheelDelta, int X, int Y);

 protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual bool MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) { return false; }
  virtual void Resize();
  virtual void Paint() {}
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void EnabledChanged();
  // Called after the parent changed (the new parent may be null).
  virtual void ParentChanged();

  // Auto-size: with AutoSize on, CanAutoSize may change the size a SetBounds asks for.
  virtual bool CanAutoSize(int& NewWidth, int& NewHeight) { return false; }
  // Applies CanAutoSize to the current size when AutoSize is on.
  void AdjustSize();

  // Called after the bounds changed; Sized tells whether the size did. The windowed override
  // aligns the children before the control's own Resize.
  virtual void BoundsChanged(bool Sized);
  // Asks the parent to run its align pass because of this control.
  void RequestAlign();
  // Records the distances to the parent's right and bottom edges that anchors keep.
  void UpdateAnchorRules();

  // ---- widget plumbing ------------------------------------------------------------------------
  // Creates the widget (under the parent's widget) when the parent has one.
  void CreateWidget(QWidget* parentWidget);
  // The widget is made by this factory; windowed controls with native Qt widgets override it.
  virtual QWidget* MakeWidget(QWidget* parentWidget);
  void DestroyWidget();
  // Makes the widget follow the framework state.
  virtual void ApplyGeometry();
  void ApplyVisibility();
  void ApplyCursor();
  // Paints the part Area of the client (clipped to it) into the off-screen image, which is made
  // that size, and returns it; the widget shows it at the area's corner. Painting only what is
  // exposed keeps a control far larger than its window (a picture at its natural size) from
  // needing an image of its whole size.
  HBITMAP PaintToBuffer(const TRect& Area);

  QWidget* widget_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;

 private:
  friend class TWinControl;
  friend class TControlWidget;
  friend class TForm;

  void ParentFontChanged();
  void ParentColorChanged();
  // Makes the off-screen image cover Area (client coordinates): its context draws in client
  // coordinates, and what lies outside the area is clipped away.
  void EnsureBuffer(const TRect& Area);
  TRect ClientArea() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }
  void FreeBuffer();
  void ApplyAnchors(int parentWidth, int parentHeight);

  TWinControl* parent_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
  bool auto_size_ = false;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TColor color_ = clWindow;
  bool parent_color_ = false;
  TFont font_;
  bool parent_font_ = true;
  bool applying_parent_font_ = false;
  TCursor cursor_ = crDefault;
  std::string caption_;

  // Anchor rules: the parent's client size when the bounds were last set from outside, and the
  // distances to its right and bottom edges then.
  int anchor_parent_width_ = 0;
  int anchor_parent_height_ = 0;
  bool anchor_move_ = false;

  // The off-screen paint image and its context.
  std::recursive_mutex buffer_mutex_;
  HBITMAP paint_bitmap_ = nullptr;
  HDC paint_dc_ = nullptr;
  HGDIOBJ paint_old_bitmap_ = nullptr;
  TRect buffer_area_{};        // the part of the client area the image holds
  bool buffer_fresh_ = false;  // a thread drew into the buffer; show it without painting again
};

}  // namespace lumivane
