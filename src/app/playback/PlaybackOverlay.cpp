#include "app/playback/PlaybackOverlay.h"

#include <cmath>
#include <cstdio>

#include "script/DemoScript.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

std::string MinutesSeconds(double seconds) {
  const double t = std::max(0.0, seconds);
  const int minutes = static_cast<int>(t / 60.0);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%06.3f", minutes, t - 60.0 * minutes);
  return text;
}

std::string SpeedText(double speed) {
  char text[16];
  if (speed >= 1.0) std::snprintf(text, sizeof text, "%gx", speed);
  else std::snprintf(text, sizeof text, "1/%gx", 1.0 / speed);
  return text;
}

int CameraNumber(const ScriptEntry& entry) {
  for (int32_t i = 0; i < entry.scene->cameras.count(); ++i) {
    if (entry.scene->cameras.At(i) == entry.camera) return i + 1;
  }
  return 1;
}

}  // namespace

void FrameRateMeter::FrameShown(int64_t counter) {
  shown_.push_back(counter);
  Forget(counter);
}

void FrameRateMeter::Forget(int64_t counter) {
  while (!shown_.empty() && shown_.front() < counter - frequency_) shown_.pop_front();
}

double FrameRateMeter::Fps(int64_t counter) {
  Forget(counter);
  return static_cast<double>(shown_.size());
}

double FrameRateMeter::MeanFrameSeconds(int64_t counter) {
  Forget(counter);
  if (shown_.size() < 2) return 0.0;
  return static_cast<double>(shown_.back() - shown_.front()) / static_cast<double>(shown_.size() - 1) /
         static_cast<double>(frequency_);
}

ControlsShown ShownControls(const PlaybackControls& controls) {
  return {controls.speed(),   controls.paused(),  controls.loopIn(),
          controls.loopOut(), controls.demoEnd(), controls.markers().times()};
}

Overlay DescribePlayback(PlaybackClock& playback, const ControlsShown& controls, double fps, double frameSeconds,
                         const std::string& message) {
  Overlay overlay;
  const double music = playback.MusicTime();
  const ScriptEntry& entry = *playback.currentEntry();
  const Scene& scene = *entry.scene;
  const double sceneTime = playback.SceneTime();
  const std::optional<double> end = controls.demoEnd;
  char line[160];
  std::snprintf(line, sizeof line, "music %s / %s", MinutesSeconds(music).c_str(), end ? MinutesSeconds(*end).c_str() : "-");
  overlay.lines.push_back(line);
  std::snprintf(line, sizeof line, "entry %d: %s, camera %d", playback.currentIndex() + 1, scene.name.c_str(),
                CameraNumber(entry));
  overlay.lines.push_back(line);
  std::snprintf(line, sizeof line, "scene %.3f s, frame %ld", sceneTime,
                static_cast<long>(std::floor(sceneTime * static_cast<double>(scene.framesPerSecond) + 1e-4)));
  overlay.lines.push_back(line);
  std::snprintf(line, sizeof line, "%.0f fps, %.1f ms a frame", fps, frameSeconds * 1e3);
  overlay.lines.push_back(line);
  std::string state = "speed " + SpeedText(controls.speed);
  if (controls.paused) state += ", paused";
  if (controls.loopIn && controls.loopOut) {
    state += ", looping " + MinutesSeconds(*controls.loopIn) + " - " + MinutesSeconds(*controls.loopOut);
  } else if (controls.loopIn) {
    state += ", loop from " + MinutesSeconds(*controls.loopIn);
  }
  overlay.lines.push_back(state);
  if (!message.empty()) overlay.lines.push_back(message);

  if (end && *end > 0) {
    overlay.played = static_cast<float>(music / *end);
    if (controls.loopIn) {
      overlay.loopIn = static_cast<float>(*controls.loopIn / *end);
      overlay.loopOut = static_cast<float>(controls.loopOut.value_or(music) / *end);
    }
    for (double marker : controls.markers) overlay.markers.push_back(static_cast<float>(marker / *end));
  }
  return overlay;
}

}  // namespace stagwerk
