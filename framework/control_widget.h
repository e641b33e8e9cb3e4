#pragma once
// The Qt widget behind a control: it hands paint, mouse, geometry, close and focus events of the
// window system to the control, and shows the control's off-screen image.
#include <QWidget>

#include "framework/control_types.h"

namespace lumivane {

class TControl;

class TControlWidget : public QWidget {
 public:
  TControlWidget(TControl* control, QWidget* parent);
  ~TControlWidget() override;

  TControl* Control() const { return control_; }
  // Forgets the control (when the control goes before the widget).
  void Detach() { control_ = nullptr; }

  // The control a widget (or one of its native children) stands for, or null.
  static TControl* ControlOf(QObject* object);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void ReportGeometry();

  TControl* control_;
};

// The Qt cursor shape for a cursor value.
Qt::CursorShape CursorShapeFor(TCursor cursor);
// Shift state of Qt modifiers and buttons.
TShiftState ShiftStateFor(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

}  // namespace lumivane
