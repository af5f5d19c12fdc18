#include "app/playback/ScaledClock.h"

#include <cmath>

namespace stagwerk {

ScaledClock::ScaledClock(Clock& real) : real_(real), frequency_(real.Frequency()) {
  realBase_ = real_.Now();
  base_ = realBase_;
}

int64_t ScaledClock::Now() {
  if (paused_) return base_;
  const int64_t elapsed = real_.Now() - realBase_;
  if (speed_ == 1.0) return base_ + elapsed;
  return base_ + static_cast<int64_t>(std::floor(static_cast<double>(elapsed) * speed_));
}

void ScaledClock::WaitUntil(int64_t deadline) {
  // Paused, the deadline never comes: the caller must not wait then.
  if (paused_) return;
  if (Now() >= deadline) return;
  const double realTicks = std::ceil(static_cast<double>(deadline - base_) / speed_);
  real_.WaitUntil(realBase_ + static_cast<int64_t>(realTicks));
  // Rounding may leave it a tick short.
  while (Now() < deadline) real_.WaitUntil(real_.Now() + 1);
}

void ScaledClock::SetSpeed(double speed) {
  const int64_t now = Now();
  base_ = now;
  realBase_ = real_.Now();
  speed_ = speed;
}

void ScaledClock::SetPaused(bool paused) {
  if (paused == paused_) return;
  base_ = Now();
  realBase_ = real_.Now();
  paused_ = paused;
}

}  // namespace stagwerk
