#pragma once
// Base of the font, brush and pen: a persistent object that announces its changes.
#include "framework/persistent.h"

namespace lumivane {

class TGraphicsObject : public TPersistent {
 public:
  // Fired after every change of a property (the canvas that owns the object listens here).
  TNotifyEvent OnChange;

 protected:
  void Changed() { Fire(OnChange, this); }
};

}  // namespace lumivane
