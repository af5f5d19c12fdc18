#pragma once
// The overlay's text and seek bar from where playback is, and the frame
// rate over the last second.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

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

// What the keys have set, as the overlay shows it; a recording has the
// defaults.
struct ControlsShown {
  double speed = 1.0;
  bool paused = false;
  std::optional<double> loopIn;
  std::optional<double> loopOut;
  std::optional<double> demoEnd;  // nothing when the demo never ends
  std::vector<double> markers;    // music times
};
ControlsShown ShownControls(const PlaybackControls& controls);

// `message` is the last warning or reload error, empty for none.
Overlay DescribePlayback(PlaybackClock& playback, const ControlsShown& controls, double fps, double frameSeconds,
                         const std::string& message);

}  // namespace stagwerk
