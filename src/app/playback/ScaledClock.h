#pragma once
// The playback clock's counter while an author works: it runs at a chosen
// speed of the real counter and stands still while paused, so the same
// pacing and entry rules play slow motion, fast forward and a held picture.
#include <cstdint>

#include "platform/Clock.h"

namespace stagwerk {

class ScaledClock final : public Clock {
 public:
  explicit ScaledClock(Clock& real);

  int64_t Now() override;
  int64_t Frequency() const override { return frequency_; }
  void WaitUntil(int64_t deadline) override;

  // Rebases at the current reading, so time never jumps.
  void SetSpeed(double speed);
  void SetPaused(bool paused);
  double speed() const { return speed_; }
  bool paused() const { return paused_; }

 private:
  Clock& real_;
  int64_t frequency_;
  int64_t base_ = 0;      // own reading at the last rebase
  int64_t realBase_ = 0;  // real reading then
  double speed_ = 1.0;
  bool paused_ = false;
};

}  // namespace stagwerk
