#pragma once
// The page's clock (performance.now) as the playback clock's counter. A page
// must not block, so a wait does not sleep: it moves this clock's reading on
// to the deadline, and the frame loop lets animation frames go by, drawing
// nothing, until real time has caught up (Due).
#include <cstdint>

#include "platform/Clock.h"

namespace stagwerk {

class WebClock final : public Clock {
 public:
  // 100 ns ticks, the music's unit.
  static constexpr int64_t kFrequency = 10'000'000;

  int64_t Now() override;
  int64_t Frequency() const override { return kFrequency; }
  void WaitUntil(int64_t deadline) override;

  // Real time has reached the last deadline waited for.
  bool Due() const;

 private:
  int64_t waitedTo_ = 0;
};

}  // namespace stagwerk
