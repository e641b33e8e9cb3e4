#include "framework/timer.h"

#include <QTimer>
#include <climits>

#include "framework/application.h"

namespace lumivane {

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  Application->Initialize();
  timer_ = new QTimer;
  QObject::connect(timer_, &QTimer::timeout, [this] { Timer(); });
  UpdateTimer();
}

TTimer::~TTimer() {
  BeginDestruction();
  delete timer_;
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  timer_->stop();
  if (!enabled_ || interval_ == 0) return;
  timer_->start(static_cast<int>(std::min<uint32_t>(interval_, INT_MAX)));
}

void TTimer::Timer() {
  Application->Guard(this, [this] { Fire(OnTimer, this); });
}

}  // namespace lumivane
