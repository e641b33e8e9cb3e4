#include "framework/control_widget.h"

#include <QWheelEvent>

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "framework/application.h"
#include "framework/form.h"
#include "framework/win_control.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane {

namespace {

TMouseButton ButtonFor(Qt::MouseButton b) {
  switch (b) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

}  // namespace

TShiftState ShiftStateFor(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState shift;
  if (modifiers & Qt::ShiftModifier) shift.Include(ssShift);
  if (modifiers & Qt::ControlModifier) shift.Include(ssCtrl);
  if (modifiers & Qt::AltModifier) shift.Include(ssAlt);
  if (buttons & Qt::LeftButton) shift.Include(ssLeft);
  if (buttons & Qt::RightButton) shift.Include(ssRight);
  if (buttons & Qt::MiddleButton) shift.Include(ssMiddle);
  return shift;
}

Qt::CursorShape CursorShapeFor(TCursor cursor) {
  switch (cursor) {
    case crNone:
      return Qt::BlankCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
      return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crHSplit:
      return Qt::SplitHCursor;
    case crVSplit:
      return Qt::SplitVCursor;
    case crSQLWait:
    case crAppStart:
      return Qt::BusyCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

TControlWidget::TControlWidget(TControl* control, QWidget* parent) : QWidget(parent), control_(control) {
  // The control paints every pixel itself from its off-screen image.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

TControlWidget::~TControlWidget() = default;

TControl* TControlWidget::ControlOf(QObject* object) {
  for (QObject* o = object; o != nullptr; o = o->parent()) {
    const QVariant v = o->property("lumivane_control");
    if (v.isValid()) return reinterpret_cast<TControl*>(v.value<quintptr>());
    if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) break;
  }
  return nullptr;
}

void TControlWidget::paintEvent(QPaintEvent* event) {
  if (control_ == nullptr) return;
  const QRect exposed = event->rect();
  const TRect area{exposed.left(), exposed.top(), exposed.right() + 1, exposed.bottom() + 1};
  HBITMAP bitmap = nullptr;
  Application->Guard(control_, [&] { bitmap = control_->PaintToBuffer(area); });
  if (control_ == nullptr || bitmap == nullptr) return;
  std::lock_guard<std::recursive_mutex> guard(control_->buffer_mutex_);
  QPainter painter(this);
  const TPoint origin = control_->PaintOrigin();
  painter.drawImage(origin.X, origin.Y, BitmapAsQImage(control_->paint_bitmap_));
}

void TControlWidget::mousePressEvent(QMouseEvent* event) {
  if (control_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  control_->DispatchMouseDown(ButtonFor(event->button()), ShiftStateFor(event->modifiers(), event->buttons()),
                              p.x(), p.y(), false);
}

void TControlWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (control_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  control_->DispatchMouseDown(ButtonFor(event->button()), ShiftStateFor(event->modifiers(), event->buttons()),
                              p.x(), p.y(), true);
}

void TControlWidget::mouseMoveEvent(QMouseEvent* event) {
  if (control_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  control_->DispatchMouseMove(ShiftStateFor(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TControlWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (control_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  control_->DispatchMouseUp(ButtonFor(event->button()), ShiftStateFor(event->modifiers(), event->buttons()),
                            p.x(), p.y());
}

void TControlWidget::wheelEvent(QWheelEvent* event) {
  if (control_ == nullptr) return;
  const QPoint p = event->position().toPoint();
  const bool used = control_->DispatchMouseWheel(ShiftStateFor(event->modifiers(), event->buttons()),
                                                 event->angleDelta().y(), p.x(), p.y());
  event->setAccepted(used);
}

void TControlWidget::ReportGeometry() {
  auto* form = dynamic_cast<TForm*>(control_);
  if (form == nullptr || !isWindow()) return;
  const QRect client = geometry();
  const QRect frame = frameGeometry();
  Application->Guard(form, [&] {
    form->WindowSystemGeometry(client.x(), client.y(), client.width(), client.height(),
                               client.x() - frame.x(), client.y() - frame.y(), frame.right() - client.right(),
                               frame.bottom() - client.bottom());
  });
}

void TControlWidget::resizeEvent(QResizeEvent*) {
  if (control_ != nullptr) ReportGeometry();
}

void TControlWidget::moveEvent(QMoveEvent*) {
  if (control_ != nullptr) ReportGeometry();
}

void TControlWidget::closeEvent(QCloseEvent* event) {
  // The form decides (OnCloseQuery, OnClose) and hides itself when it closes.
  event->ignore();
  if (auto* form = dynamic_cast<TForm*>(control_)) {
    Application->Guard(form, [&] { form->WindowSystemClose(); });
  }
}

void TControlWidget::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  auto* control = dynamic_cast<TWinControl*>(control_);
  if (control == nullptr) return;
  if (TForm* form = control->ParentForm(); form != nullptr && form != control) {
    Application->Guard(control, [&] { form->SetActiveControl(control); });
  }
}

void TControlWidget::focusOutEvent(QFocusEvent* event) { QWidget::focusOutEvent(event); }

bool TControlWidget::event(QEvent* event) {
  if (control_ != nullptr) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
      if (auto* form = dynamic_cast<TForm*>(control_)) {
        const bool active = event->type() == QEvent::WindowActivate;
        Application->Guard(form, [&] { form->WindowSystemActivated(active); });
      }
    }
  }
  return QWidget::event(event);
}

}  // namespace lumivane
