#pragma once
// A recording's frame rate as the exact fraction video sites and archives
// use (60000/1001, not 59.94): frame k is at k * den / num seconds, computed
// from k each time, so no error adds up over a long capture.
#include <cstdint>
#include <optional>
#include <string>

namespace stagwerk {

struct FrameRate {
  int64_t num = 30;
  int64_t den = 1;

  // "N", "N/D" or a decimal ("29.97" is 2997/100), reduced; nothing for
  // anything else or a rate outside 1 to 1000 frames per second.
  static std::optional<FrameRate> Parse(const std::string& text);

  double PerSecond() const { return static_cast<double>(num) / static_cast<double>(den); }
  // The time of frame k.
  double Seconds(int64_t frame) const {
    return static_cast<double>(frame * den) / static_cast<double>(num);
  }
  // The first frame at or after t, the last at or before it; a frame a
  // hair (1e-6 of one) from t counts as at it, so rounding never drops one.
  int64_t FirstAtOrAfter(double t) const;
  int64_t LastAtOrBefore(double t) const;
  // "30" or "60000/1001", as ffmpeg takes it.
  std::string Text() const;
};

}  // namespace stagwerk
