#include "app/capture/CapturePlan.h"

#include <algorithm>

#include "app/playback/PlaybackClock.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"

namespace stagwerk {

CaptureFrames ChooseCaptureFrames(const DemoScript& script, const CaptureOptions& options, double musicRun) {
  CaptureFrames frames;
  // 1.2 s at 10 fps is frame 12, rounding or not.
  frames.first = options.fps.FirstAtOrAfter(std::max(options.from.value_or(0.0), musicRun));
  std::optional<double> end = options.to;
  frames.demoEnd = DemoEndMusicTime(script);
  if (frames.demoEnd && (!end || *frames.demoEnd < *end)) end = frames.demoEnd;
  if (end) frames.last = options.fps.LastAtOrBefore(*end);
  if (options.segmentCount > 1 && frames.last) NarrowToSegment(frames, options.segmentIndex, options.segmentCount);
  return frames;
}

double MusicRunStart(const DemoScript& script) {
  VirtualClock clock;
  SilentMusic music(clock);
  NullFrameTarget nothing;
  PlaybackClock playback(script, clock, music, nothing);
  playback.StartPlayback();
  return music.seekCount() > 0 ? static_cast<double>(music.lastSeek()) * 1e-7 : 0.0;
}

void NarrowToSegment(CaptureFrames& frames, int index, int count) {
  const int64_t n = frames.Count().value_or(0);
  const int64_t first = frames.first;
  // Shares differ by at most one frame; a share past the frames is empty.
  frames.first = first + n * (index - 1) / count;
  frames.last = first + n * index / count - 1;
}

}  // namespace stagwerk
