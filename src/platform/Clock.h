#pragma once
// The performance counter behind the playback clock. The real one follows
// SDL's counter; a virtual one is moved only by the program, so tests and
// frame capture run the same playback code on time they control.
#include <cstdint>

namespace stagwerk {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t Now() = 0;
  // Ticks per second; fixed for the life of the clock.
  virtual int64_t Frequency() const = 0;
  // Returns once Now() has reached the deadline (at once if it has already).
  virtual void WaitUntil(int64_t deadline) = 0;
};

// SDL_GetPerformanceCounter. Waits sleep until about a millisecond before
// the deadline and poll the rest: the timing of a busy wait without its
// burnt core.
class SdlClock final : public Clock {
 public:
  SdlClock();
  int64_t Now() override;
  int64_t Frequency() const override { return frequency_; }
  void WaitUntil(int64_t deadline) override;

 private:
  int64_t frequency_;
};

// An ideal machine's counter: time stands still until the program moves it.
// Waiting is a jump to the deadline.
class VirtualClock final : public Clock {
 public:
  // 1e7 ticks per second: the music's 100 ns unit, so the counter and a
  // virtual music position advance in step without rounding.
  static constexpr int64_t kDefaultFrequency = 10'000'000;

  explicit VirtualClock(int64_t frequency = kDefaultFrequency, int64_t start = 0)
      : frequency_(frequency), now_(start) {}
  int64_t Now() override { return now_; }
  int64_t Frequency() const override { return frequency_; }
  void WaitUntil(int64_t deadline) override {
    if (deadline > now_) now_ = deadline;
  }

  void Advance(int64_t ticks) { now_ += ticks; }
  void AdvanceSeconds(double seconds) { now_ += static_cast<int64_t>(seconds * static_cast<double>(frequency_)); }

 private:
  int64_t frequency_;
  int64_t now_;
};

// Seconds to ticks of a clock, rounded up so a wait for it is never short.
int64_t TicksFor(const Clock& clock, double seconds);

}  // namespace stagwerk
