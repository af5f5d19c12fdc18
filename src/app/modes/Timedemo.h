#pragma once
// A benchmark of the whole demo: every frame playback would draw, on the
// ideal machine's clock as a recording advances it, without music or
// waiting, drawn as fast as the back end goes.
#include <ostream>
#include <string>
#include <vector>

#include "app/loading/DemoSync.h"
#include "app/modes/RendererChoice.h"

namespace stagwerk {

struct TimedemoOptions {
  std::string configPath;
  std::string settingsPath;  // empty: the per-user default (read, never written)
  double syncRows = kDefaultSyncRowsPerSecond;  // sync track rows per second of music
  std::ostream* progress = nullptr;  // a line as each entry begins; null for none
  RendererKind renderer = RendererKind::FixedFunction;
  unsigned jobs = 0;  // 1: frames built in line, not on a worker
};

struct TimedemoResult {
  double seconds = 0.0;              // wall time drawing, loading excluded
  std::vector<double> frameSeconds;  // in the order drawn
  struct Entry {
    int32_t index;
    std::string scene;
    int64_t frames;
    double seconds;
  };
  std::vector<Entry> entries;  // per script entry reached
  // Pictures the screen shows at the scenes' rates, as --capture at that
  // rate writes them: every pass swaps, a pass that switches entries at a
  // scene's last frame shows the frame before again, and the last picture
  // stays at the moment the demo ends.
  int64_t shown = 0;
};

// Throws LoadError.
TimedemoResult RunTimedemo(const TimedemoOptions& options);

// The figures: frames, total time, mean fps, frame time median, 99th
// percentile and maximum, the entry with the slowest mean frame, and the
// pictures shown.
void WriteTimedemo(std::ostream& out, const TimedemoResult& result);

}  // namespace stagwerk
