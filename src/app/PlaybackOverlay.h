#pragma once
// The overlay's text and seek bar from where playback is, and the frame
// rate over the last second.
#include <cstdint>
#include <deque>
#include <string>

#include "frame/Overlay.h"

namespace stagwerk {

class PlaybackClock;
class PlaybackControls;

// Frames shown over the last second of real time.
class FrameRateMeter {
 public:
  explicit FrameRateMeter(int64_t frequency) : frequency_(frequency) {}
  void FrameShown(int64_t counter);
  // Frames per second, and the mean time between them in seconds, over the
  // last second before `counter`.
  double Fps(int64_t counter);
  double MeanFrameSeconds(int64_t counter);

 private:
  void Forget(int64_t counter);
  int64_t frequency_;
  std::deque<int64_t> shown_;
};

// `message` is the last warning or reload error, empty for none.
Overlay DescribePlayback(PlaybackClock& playback, const PlaybackControls& controls, double fps,
                         double frameSeconds, const std::string& message);

}  // namespace stagwerk
