#include "framework/scroll_bar.h"

#include <QtCore/QTimer>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QToolTip>
#include <QtWidgets/QWidget>

#include <algorithm>

#include "framework/panel.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {

namespace {

// A held arrow or track first waits, then repeats quickly, as the platform's scroll bars do.
constexpr int kFirstRepeatMs = 350;
constexpr int kRepeatMs = 50;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The bar's window: it shows what the bar paints and hands it the left button's presses, moves and
// releases. The press grabs the mouse, so a drag goes on outside the bar.

class TScrollBar::TBarWidget : public QWidget {
 public:
  TBarWidget(TScrollBar* bar, QWidget* host) : QWidget(host), bar_(bar) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }
  ~TBarWidget() override {
    if (bar_ != nullptr) bar_->widget_ = nullptr;
  }

  void Detach() { bar_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (bar_ == nullptr || width() <= 0 || height() <= 0) return;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width(), height());
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) return;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    {
      TCanvas canvas;
      canvas.SetHandle(dc);
      bar_->Paint(canvas, isEnabled());
      canvas.SetHandle(nullptr);
    }
    {
      QPainter painter(this);
      painter.drawImage(0, 0, BitmapAsQImage(bitmap));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (bar_ == nullptr || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    bar_->MouseDown(p.x(), p.y());
  }

  // The second press of a double click is one more press: the arrow steps again.
  void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }

  void mouseMoveEvent(QMouseEvent* event) override {
    if (bar_ == nullptr) return;
    const QPoint p = event->position().toPoint();
    bar_->MouseMove(p.x(), p.y());
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (bar_ == nullptr || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    bar_->MouseUp(p.x(), p.y());
  }

  bool event(QEvent* event) override {
    // The bar has no tip of its own and must not show the list's.
    if (event->type() == QEvent::ToolTip) {
      QToolTip::hideText();
      return true;
    }
    return QWidget::event(event);
  }

 private:
  TScrollBar* bar_;
};

// ---------------------------------------------------------------------------------------------
// The bar.

TScrollBar::TScrollBar() : repeat_timer_(std::make_unique<QTimer>()) {
  repeat_timer_->setSingleShot(true);
  QObject::connect(repeat_timer_.get(), &QTimer::timeout, [this] { RepeatStep(); });
}

TScrollBar::~TScrollBar() {
  repeat_timer_->stop();
  if (widget_ != nullptr) {
    TBarWidget* widget = widget_;
    widget_ = nullptr;
    widget->Detach();
    delete widget;
  }
}

void TScrollBar::SetParams(int Total, int PageSize, int Position) {
  const int total = std::max(0, Total);
  const int page = std::max(1, PageSize);
  const int position = std::clamp(Position, 0, std::max(0, total - page));
  if (total == total_ && page == page_ && position == position_) return;
  total_ = total;
  page_ = page;
  position_ = position;
  Repaint();
}

int TScrollBar::MaxPosition() const { return std::max(0, total_ - page_); }

int TScrollBar::PageStep() const { return std::max(1, page_ - 1); }

void TScrollBar::Place(QWidget* Host, const TRect& Bounds) {
  if (Host == nullptr || Bounds.IsEmpty()) {
    Hide();
    return;
  }
  if (widget_ != nullptr && widget_->parentWidget() != Host) {
    TBarWidget* old = widget_;
    widget_ = nullptr;
    old->Detach();
    delete old;
  }
  const QRect geometry(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
  if (widget_ != nullptr && !widget_->isHidden() && widget_->geometry() == geometry) return;
  if (widget_ == nullptr) widget_ = new TBarWidget(this, Host);
  width_ = Bounds.Width();
  height_ = Bounds.Height();
  widget_->setGeometry(geometry);
  widget_->raise();
  widget_->show();
}

void TScrollBar::Hide() {
  repeat_timer_->stop();
  held_ = THit::None;
  if (widget_ != nullptr) widget_->hide();
}

QWidget* TScrollBar::Widget() const { return widget_ != nullptr && !widget_->isHidden() ? widget_ : nullptr; }

void TScrollBar::Repaint() {
  if (widget_ != nullptr) widget_->update();
}

// ---- geometry -------------------------------------------------------------------------------

TRect TScrollBar::UpArrowRect() const {
  const int arrow = std::min(DefaultWidth, height_ / 2);
  return Rect(0, 0, width_, arrow);
}

TRect TScrollBar::DownArrowRect() const {
  const int arrow = std::min(DefaultWidth, height_ / 2);
  return Rect(0, height_ - arrow, width_, height_);
}

TRect TScrollBar::TrackRect() const { return Rect(0, UpArrowRect().Bottom, width_, DownArrowRect().Top); }

int TScrollBar::ThumbLength() const {
  const int track = TrackRect().Height();
  if (MaxPosition() <= 0 || track < MinThumbLength) return 0;
  const int proportional = static_cast<int>(static_cast<long long>(track) * page_ / std::max(1, total_));
  return std::clamp(proportional, MinThumbLength, track);
}

int TScrollBar::ThumbTopFor(int Position, int Length) const {
  const TRect track = TrackRect();
  const long long room = track.Height() - Length;
  const long long max = std::max(1, MaxPosition());
  return track.Top + static_cast<int>((room * Position + max / 2) / max);
}

TRect TScrollBar::ThumbRect() const {
  const int length = ThumbLength();
  if (length == 0) return TRect{};
  const int top = ThumbTopFor(position_, length);
  return Rect(0, top, width_, top + length);
}

TScrollBar::THit TScrollBar::HitTest(int X, int Y) const {
  const TPoint p{X, Y};
  if (UpArrowRect().Contains(p)) return THit::UpArrow;
  if (DownArrowRect().Contains(p)) return THit::DownArrow;
  const TRect track = TrackRect();
  if (!track.Contains(p) || MaxPosition() <= 0) return THit::None;
  const TRect thumb = ThumbRect();
  if (thumb.IsEmpty()) return Y < (track.Top + track.Bottom) / 2 ? THit::PageUp : THit::PageDown;
  if (Y < thumb.Top) return THit::PageUp;
  if (Y >= thumb.Bottom) return THit::PageDown;
  return THit::Thumb;
}

// ---- input ----------------------------------------------------------------------------------

void TScrollBar::MouseDown(int X, int Y) {
  held_ = HitTest(X, Y);
  pointer_x_ = X;
  pointer_y_ = Y;
  if (held_ == THit::None) return;
  if (held_ == THit::Thumb) {
    drag_offset_ = Y - ThumbRect().Top;
    Repaint();
    return;
  }
  Step();
  Repaint();
  repeat_timer_->start(kFirstRepeatMs);
}

void TScrollBar::MouseMove(int X, int Y) {
  if (held_ == THit::None) return;
  const bool wasOnArrow = (held_ == THit::UpArrow && UpArrowRect().Contains({pointer_x_, pointer_y_})) ||
                          (held_ == THit::DownArrow && DownArrowRect().Contains({pointer_x_, pointer_y_}));
  pointer_x_ = X;
  pointer_y_ = Y;
  if (held_ == THit::Thumb) {
    const int length = ThumbLength();
    const TRect track = TrackRect();
    const long long room = track.Height() - length;
    if (length == 0 || room <= 0) return;
    const long long top = std::clamp<long long>(Y - drag_offset_ - track.Top, 0, room);
    ScrollTo(static_cast<int>((top * MaxPosition() + room / 2) / room));
    return;
  }
  const bool onArrow = (held_ == THit::UpArrow && UpArrowRect().Contains({X, Y})) ||
                       (held_ == THit::DownArrow && DownArrowRect().Contains({X, Y}));
  if (onArrow != wasOnArrow) Repaint();  // the arrow looks pressed only while the pointer is on it
}

void TScrollBar::MouseUp(int X, int Y) {
  if (held_ == THit::None) return;
  MouseMove(X, Y);
  held_ = THit::None;
  repeat_timer_->stop();
  Repaint();
}

void TScrollBar::Step() {
  const TPoint pointer{pointer_x_, pointer_y_};
  switch (held_) {
    case THit::UpArrow:
      if (UpArrowRect().Contains(pointer)) ScrollTo(position_ - 1);
      break;
    case THit::DownArrow:
      if (DownArrowRect().Contains(pointer)) ScrollTo(position_ + 1);
      break;
    case THit::PageUp: {
      const TRect thumb = ThumbRect();
      if (thumb.IsEmpty() || pointer_y_ < thumb.Top) ScrollTo(position_ - PageStep());
      break;
    }
    case THit::PageDown: {
      const TRect thumb = ThumbRect();
      if (thumb.IsEmpty() || pointer_y_ >= thumb.Bottom) ScrollTo(position_ + PageStep());
      break;
    }
    default:
      break;
  }
}

void TScrollBar::RepeatStep() {
  if (held_ == THit::None || held_ == THit::Thumb) return;
  Step();
  repeat_timer_->start(kRepeatMs);
}

void TScrollBar::ScrollTo(int Position) {
  const int position = std::clamp(Position, 0, MaxPosition());
  if (position == position_) return;
  position_ = position;
  Repaint();
  if (OnScroll) OnScroll(position);
}

// ---- painting -------------------------------------------------------------------------------

void TScrollBar::PaintArrow(TCanvas& Canvas, const TRect& Bounds, bool Up, bool Pressed, bool Enabled) {
  if (Bounds.IsEmpty()) return;
  TRect rect = Bounds;
  if (Pressed) {
    Frame3D(Canvas, rect, clBtnShadow, clBtnShadow, 1);
  } else {
    Frame3D(Canvas, rect, clBtnFace, clBlack, 1);
    Frame3D(Canvas, rect, clBtnHighlight, clBtnShadow, 1);
  }
  Canvas.Brush().SetColor(clBtnFace);
  Canvas.FillRect(rect);
  // A triangle of 7, 5, 3 and 1 pixels, centred; a pressed button moves it down and right.
  Canvas.Brush().SetColor(Enabled ? clBtnText : clGrayText);
  const int shift = Pressed ? 1 : 0;
  const int centreX = (Bounds.Left + Bounds.Right) / 2 + shift;
  const int top = (Bounds.Top + Bounds.Bottom) / 2 - 2 + shift;
  for (int row = 0; row < 4; ++row) {
    const int half = Up ? row : 3 - row;
    Canvas.FillRect(Rect(centreX - half, top + row, centreX + half + 1, top + row + 1));
  }
}

void TScrollBar::PaintTrack(TCanvas& Canvas, const TRect& Track) {
  if (Track.IsEmpty()) return;
  // The classic track: every other pixel in the highlight colour over the face colour.
  Canvas.Brush().SetColor(clBtnFace);
  Canvas.FillRect(Track);
  Canvas.RequiredState({csHandleValid});
  const COLORREF light = ColorToRGB(clBtnHighlight);
  HDC dc = Canvas.Handle();
  for (int y = Track.Top; y < Track.Bottom; ++y) {
    for (int x = Track.Left + ((Track.Left + y) & 1); x < Track.Right; x += 2) SetPixel(dc, x, y, light);
  }
}

void TScrollBar::Paint(TCanvas& Canvas, bool Enabled) {
  if (width_ <= 0 || height_ <= 0) return;
  const TPoint pointer{pointer_x_, pointer_y_};
  PaintArrow(Canvas, UpArrowRect(), true, held_ == THit::UpArrow && UpArrowRect().Contains(pointer), Enabled);
  PaintArrow(Canvas, DownArrowRect(), false, held_ == THit::DownArrow && DownArrowRect().Contains(pointer),
             Enabled);
  const TRect track = TrackRect();
  PaintTrack(Canvas, track);
  const TRect thumb = Enabled ? ThumbRect() : TRect{};
  if (thumb.IsEmpty()) return;
  // The part of the track being paged through shows dark while the button is held.
  RECT paged{};
  if (held_ == THit::PageUp) paged = RECT{track.Left, track.Top, track.Right, thumb.Top};
  if (held_ == THit::PageDown) paged = RECT{track.Left, thumb.Bottom, track.Right, track.Bottom};
  if (paged.bottom > paged.top) InvertRect(Canvas.Handle(), &paged);
  TRect face = thumb;
  Frame3D(Canvas, face, clBtnFace, clBlack, 1);
  Frame3D(Canvas, face, clBtnHighlight, clBtnShadow, 1);
  Canvas.Brush().SetColor(clBtnFace);
  Canvas.FillRect(face);
}

}  // namespace lumivane
