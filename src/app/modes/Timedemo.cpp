#include "app/modes/Timedemo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "script/DemoScript.h"
#include "app/playback/FrameDrawer.h"
#include "app/modes/OffscreenDemo.h"
#include "app/playback/PlaybackClock.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

constexpr double kLongestDemo = 24.0 * 3600.0;

double Since(std::chrono::steady_clock::time_point begin) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

}  // namespace

TimedemoResult RunTimedemo(const TimedemoOptions& options) {
  OffscreenDemo loaded(options.configPath, options.settingsPath, 0, 0, 0, options.renderer);
  Demo& demo = *loaded.demo;
  Renderer& renderer = *loaded.renderer;
  VirtualClock clock;
  SilentMusic music(clock);
  // On the virtual clock the next frame is known as a pass ends: it is
  // built while the renderer finishes this one.
  FrameDrawer target(renderer, demo.aspect, BuildAheadWanted(options.jobs));
  demo.sync.rowsPerSecond = options.syncRows;
  target.UseSync(SyncFeed::Saved(demo.sync));
  PlaybackClock playback(demo.script, clock, music, target);

  TimedemoResult result;
  result.frameSeconds.reserve(1 << 16);
  const auto begin = std::chrono::steady_clock::now();
  playback.StartPlayback();
  for (;;) {
    const auto passBegin = std::chrono::steady_clock::now();
    const int64_t drawnBefore = target.framesDrawn();
    const bool going = playback.AdvanceFrame();
    if (target.framesDrawn() != drawnBefore) {
      renderer.Finish();
      const double seconds = Since(passBegin);
      result.frameSeconds.push_back(seconds);
      const int32_t index = playback.currentIndex();
      if (result.entries.empty() || result.entries.back().index != index) {
        result.entries.push_back({index, playback.currentEntry()->scene->name, 0, 0.0});
        if (options.progress != nullptr) {
          *options.progress << "timedemo: entry " << index + 1 << " (" << result.entries.back().scene << ")"
                            << std::endl;
        }
      }
      ++result.entries.back().frames;
      result.entries.back().seconds += seconds;
    }
    if (!going) {
      ++result.shown;  // the end's moment
      break;
    }
    ++result.shown;
    if (playback.MusicTime() > kLongestDemo) break;
  }
  renderer.Finish();
  result.seconds = Since(begin);
  return result;
}

void WriteTimedemo(std::ostream& out, const TimedemoResult& result) {
  const auto frames = static_cast<long long>(result.frameSeconds.size());
  char line[256];
  std::snprintf(line, sizeof line, "timedemo: %lld frames in %.3f s, %.1f fps\n", frames, result.seconds,
                result.seconds > 0 ? static_cast<double>(frames) / result.seconds : 0.0);
  out << line;
  if (frames == 0) return;
  std::vector<double> sorted = result.frameSeconds;
  std::sort(sorted.begin(), sorted.end());
  const auto at = [&](double q) {
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size() - 1, rank > 0 ? rank - 1 : 0)];
  };
  std::snprintf(line, sizeof line, "timedemo: frame time median %.2f ms, 99th percentile %.2f ms, maximum %.2f ms\n",
                at(0.5) * 1e3, at(0.99) * 1e3, sorted.back() * 1e3);
  out << line;
  const auto slowest = std::max_element(result.entries.begin(), result.entries.end(), [](const auto& a, const auto& b) {
    return a.seconds / static_cast<double>(a.frames) < b.seconds / static_cast<double>(b.frames);
  });
  std::snprintf(line, sizeof line, "timedemo: slowest entry %d (%s): %.2f ms a frame over %lld frames\n",
                slowest->index + 1, slowest->scene.c_str(), slowest->seconds / static_cast<double>(slowest->frames) * 1e3,
                static_cast<long long>(slowest->frames));
  out << line;
  std::snprintf(line, sizeof line, "timedemo: %lld pictures at the scenes' rates, %lld of them no new frame\n",
                static_cast<long long>(result.shown), static_cast<long long>(result.shown - frames));
  out << line;
}

}  // namespace stagwerk
