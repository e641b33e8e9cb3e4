#pragma once
// A bar between aligned controls; dragging it changes the size of the control aligned just before
// it (to its left for alLeft).
#include "framework/graphic_control.h"

namespace lumivane {

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };

class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* AOwner);

  // The smallest size the resized control and the client space left over may get.
  int MinSize = 30;
  // rsUpdate resizes while dragging; rsLine and rsPattern show a bar and resize on release.
  TResizeStyle ResizeStyle = rsPattern;
  TNotifyEvent OnMoved;

  // The control the splitter resizes at the moment (null when none is found).
  TControl* FindControl() const;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool Vertical() const { return Align() == alLeft || Align() == alRight; }
  int CalcNewSize(int X, int Y) const;
  void ApplySize(int size);
  void ShowBar(int size);
  void HideBar();

  TControl* control_ = nullptr;
  bool dragging_ = false;
  int down_x_ = 0;
  int down_y_ = 0;
  int old_size_ = 0;
  int max_size_ = 0;
  int new_size_ = 0;
  QWidget* bar_ = nullptr;
};

}  // namespace lumivane
