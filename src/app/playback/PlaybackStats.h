#pragma once
// What --stats reports at exit: frames drawn, the mean frame rate, the
// intervals between shown frames (median, 99th percentile, maximum) and the
// process CPU time spent while playing.
#include <cstdint>
#include <ostream>
#include <vector>

namespace stagwerk {

class PlaybackStats {
 public:
  // Counter ticks per second, for the intervals.
  explicit PlaybackStats(int64_t frequency);
  void Start(int64_t counter);
  // A pass that drew a frame showed it at this counter reading.
  void FrameShown(int64_t counter);
  void Stop(int64_t counter);
  void Write(std::ostream& out) const;

  int64_t frames() const { return frames_; }
  // Seconds between shown frames, sorted; for tests.
  std::vector<double> SortedIntervals() const;

 private:
  int64_t frequency_;
  int64_t start_ = 0;
  int64_t stop_ = 0;
  int64_t last_ = -1;
  int64_t frames_ = 0;
  double cpuStart_ = 0;
  double cpuUsed_ = 0;
  std::vector<int64_t> intervals_;
};

// Seconds of CPU this process has used so far.
double ProcessCpuSeconds();

}  // namespace stagwerk
