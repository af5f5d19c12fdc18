#pragma once
// Which frames a capture writes: those from --from (or where the music first
// runs) to --to or the demo's end, and, for one segment of a capture split
// K/N, only its share of them.
#include <cstdint>
#include <optional>

#include "app/capture/Capture.h"
#include "script/DemoScript.h"

namespace stagwerk {

struct CaptureFrames {
  int64_t first = 0;            // frame indices at the capture's rate
  std::optional<int64_t> last;  // none: until the demo ends, which it never does
  std::optional<double> demoEnd;  // music time at which the demo ends

  // Frames from first to last; none when unbounded.
  std::optional<int64_t> Count() const {
    if (!last) return std::nullopt;
    return *last < first ? 0 : *last - first + 1;
  }
};

// `musicRun`: the music time the music first runs from (where the script
// seeks it, or 0).
CaptureFrames ChooseCaptureFrames(const DemoScript& script, const CaptureOptions& options, double musicRun);
// The music time the music first runs from, as a playback starts.
double MusicRunStart(const DemoScript& script);
// Segment `index` (from 1) of `count` equal shares of frames first to last.
void NarrowToSegment(CaptureFrames& frames, int index, int count);

}  // namespace stagwerk
