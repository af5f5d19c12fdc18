#include "app/capture/CaptureLead.h"

#include <deque>

#include "app/playback/PlaybackClock.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "scene/Camera.h"

namespace stagwerk {

namespace {

// A frame drawn n frames back weighs the product of the n blur lengths
// after it. Half a channel step (1/510) would be enough in exact sums, but
// each 8-bit blend rounds, which keeps a difference of one alive for longer:
// a 16-bit step brings a segment within one step of the whole.
constexpr double kUnseenWeight = 1.0 / 65536.0;

// Notes when each frame is drawn and how much of the one before it keeps.
class DrawLog final : public FrameTarget {
 public:
  explicit DrawLog(Clock& clock) : clock_(clock) {}
  void ActivateScene(Scene&) override {}
  void RenderFrame(Scene&, float time, Camera& camera, double) override {
    draws.push_back({clock_.Now(), 1.0 - static_cast<double>(CameraBlurFade(camera, time))});
    if (draws.size() > kSeekTrailFrames + 2) draws.pop_front();
  }
  struct Draw {
    int64_t tick;
    double keeps;  // the blur length: the share of the picture before
  };
  std::deque<Draw> draws;

 private:
  Clock& clock_;
};

}  // namespace

int64_t CaptureDrawFrom(const DemoScript& script, int64_t tick) {
  VirtualClock clock;
  SilentMusic music(clock);
  DrawLog log(clock);
  PlaybackClock playback(script, clock, music, log);
  playback.StartPlayback();
  // What is on screen at `tick` was drawn in a pass that began before it.
  while (clock.Now() < tick && playback.AdvanceFrame()) {
  }
  const std::deque<DrawLog::Draw>& before = log.draws;
  if (before.empty()) return tick;  // only the loading picture is on screen
  // The last pass's picture is on screen only from that pass's end, so the
  // one before may be what shows at `tick`: the trail is counted from it.
  double weight = 1.0;
  for (auto draw = before.size() > 1 ? before.rbegin() + 1 : before.rbegin(); draw != before.rend(); ++draw) {
    weight *= draw->keeps;
    if (weight < kUnseenWeight) return draw->tick;
  }
  return before.front().tick;
}

}  // namespace stagwerk
