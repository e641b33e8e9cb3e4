#pragma once
// The message-based timer: ticks on the main thread through the event loop.
#include <cstdint>

#include "framework/component.h"

class QTimer;

namespace lumivane {

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Milliseconds between ticks; 0 stops the timer. Intervals beyond the event loop's range
  // (about 24.8 days) tick at that range.
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t value);
  // Fired at each tick; an exception it raises goes to the application's error report.
  TNotifyEvent OnTimer;

  // Fires OnTimer as a tick does.
  void Timer();

 private:
  void UpdateTimer();

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  QTimer* timer_ = nullptr;
};

}  // namespace lumivane
