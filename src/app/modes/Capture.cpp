#include "app/modes/Capture.h"

#include <cmath>

#include "base/LoadError.h"
#include "app/loading/Demo.h"
#include "app/playback/FrameDrawer.h"
#include "app/modes/CaptureProgress.h"
#include "app/modes/CaptureSink.h"
#include "app/modes/OffscreenDemo.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackOverlay.h"
#include "frame/OverlayPixels.h"
#include "script/DemoScript.h"
#include "platform/Clock.h"
#include "platform/GlContext.h"
#include "platform/MusicPlayer.h"
#include "scene/Scene.h"

namespace stagwerk {

void RunCapture(const CaptureOptions& options) {
  OffscreenDemo loaded(options.configPath, options.settingsPath, options.width, options.height, options.jobs,
                       options.renderer);
  Demo* demo = loaded.demo.get();
  const Renderer& renderer = *loaded.renderer;
  const int width = loaded.width;
  const int height = loaded.height;

  // The whole demo plays on the ideal machine from its start, so that every
  // written picture (motion-blur trails included) is exactly what playback
  // shows; --from and --to only choose which frames are written.
  VirtualClock clock;
  SilentMusic music(clock);
  FrameDrawer target(*loaded.renderer, demo->aspect);
  PlaybackClock playback(demo->script, clock, music, target);
  playback.StartPlayback();
  const double frequency = static_cast<double>(clock.Frequency());
  // Frame g is the screen at music time g / fps. The music ran from where it
  // was sought (or its beginning), a moment before the scene clock started.
  const double musicRun = static_cast<double>(music.lastSeek()) * 1e-7 * (music.seekCount() > 0 ? 1 : 0);
  const double musicNow = static_cast<double>(music.Position()) * 1e-7;
  const int64_t runTick = clock.Now() - std::llround((musicNow - musicRun) * frequency);
  const auto tickOf = [&](int64_t g) {
    return runTick + std::llround((options.fps.Seconds(g) - musicRun) * frequency);
  };
  // 1.2 s at 10 fps is frame 12, rounding or not.
  const int64_t first = options.fps.FirstAtOrAfter(std::max(options.from.value_or(0.0), musicRun));
  std::optional<double> end = options.to;
  const std::optional<double> demoEnd = DemoEndMusicTime(demo->script);
  if (demoEnd && (!end || *demoEnd < *end)) end = demoEnd;
  std::optional<int64_t> last;
  if (end) last = options.fps.LastAtOrBefore(*end);
  std::optional<int64_t> due;
  if (last) due = std::max<int64_t>(0, *last - first + 1);
  // A picture is read back only near the frames written: no pass lasts
  // longer than a second plus the slowest scene's two frames.
  double longestFrame = 0.0;
  for (const ScriptEntry& entry : demo->script.entries) {
    longestFrame = std::max<double>(longestFrame, entry.scene->frameDuration);
  }
  const int64_t readAhead = std::llround((1.0 + 2.0 * longestFrame) * frequency);

  CaptureSink sink(options, width, height, demo->config.musicFile.str(), options.fps.Seconds(first));
  CaptureProgress progress(options.progress, due);
  ControlsShown controls;
  controls.demoEnd = demoEnd;
  // The frame rate the overlay shows is the ideal machine's, on its clock.
  FrameRateMeter meter(clock.Frequency());
  // Before the first swap the screen shows the loading picture.
  std::vector<unsigned char> shown = renderer.ReadPicture();
  int64_t g = first;
  int64_t written = 0;
  const auto writeBefore = [&](int64_t tick) {
    while (tickOf(g) < tick && (!last || g <= *last)) {
      // Named by its place in the whole capture, so segments make it up.
      sink.Write(g++, shown);
      ++written;
      progress.Update(written, options.fps.Seconds(written));
    }
  };
  writeBefore(clock.Now());
  for (;;) {
    const int64_t drawnBefore = target.framesDrawn();
    const bool going = playback.AdvanceFrame();
    const int64_t swapped = clock.Now();
    // The last picture stays on screen at the very moment the demo ends.
    writeBefore(going ? swapped : swapped + 1);
    if (!going || (last && g > *last)) break;
    if (target.framesDrawn() == drawnBefore) continue;
    meter.FrameShown(swapped);
    if (swapped + readAhead >= tickOf(g)) {
      shown = renderer.ReadPicture();
      if (options.overlay) {
        PaintOverlay(DescribePlayback(playback, controls, meter.Fps(swapped), meter.MeanFrameSeconds(swapped), ""),
                     width, height, shown);
      }
    }
  }
  progress.Finish(written, options.fps.Seconds(written));
  sink.Finish();
}

}  // namespace stagwerk
