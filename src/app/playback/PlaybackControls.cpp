#include "app/playback/PlaybackControls.h"

#include <algorithm>
#include <cmath>

#include "app/playback/PacedMusic.h"
#include "app/playback/ScaledClock.h"
#include "scene/Scene.h"
#include "script/DemoScript.h"

namespace stagwerk {

namespace {

// A seek past the end lands this much before it, on the last picture,
// rather than ending the demo under the author's hands.
constexpr double kBeforeEnd = 0.001;

// A scene time this close to a frame of the grid (in frames) is on it: a
// seek lands within float rounding of the time asked for.
constexpr double kOnGrid = 1e-3;

}  // namespace

PlaybackControls::PlaybackControls(const DemoScript& script, PlaybackClock& playback, ScaledClock& clock,
                                   PacedMusic& music)
    : script_(script),
      playback_(playback),
      clock_(clock),
      music_(music),
      entryStarts_(FindEntryStarts(script)),
      demoEnd_(DemoEndMusicTime(script)) {}

double PlaybackControls::speed() const { return clock_.speed(); }

void PlaybackControls::Apply(PlaybackCommand command) {
  const double now = playback_.MusicTime();
  switch (command) {
    case PlaybackCommand::TogglePause:
      paused_ = !paused_;
      if (paused_) {
        music_.Pause();
        clock_.SetPaused(true);
      } else {
        clock_.SetPaused(false);
        music_.Run();
      }
      break;
    case PlaybackCommand::Back1: SeekToMusicTime(now - 1.0); break;
    case PlaybackCommand::Forward1: SeekToMusicTime(now + 1.0); break;
    case PlaybackCommand::Back10: SeekToMusicTime(now - 10.0); break;
    case PlaybackCommand::Forward10: SeekToMusicTime(now + 10.0); break;
    case PlaybackCommand::PreviousEntry: SeekToEntry(playback_.currentIndex() - 1); break;
    case PlaybackCommand::NextEntry: SeekToEntry(playback_.currentIndex() + 1); break;
    case PlaybackCommand::Home: SeekToEntry(0); break;
    case PlaybackCommand::Slower: SetSpeed(std::max(kSlowest, speed() / 2.0)); break;
    case PlaybackCommand::Faster: SetSpeed(std::min(kFastest, speed() * 2.0)); break;
    case PlaybackCommand::NormalSpeed: SetSpeed(1.0); break;
    case PlaybackCommand::Loop:
      if (!loopIn_) {
        loopIn_ = now;
      } else if (!loopOut_) {
        loopOut_ = now;
        // Set out before in (after a seek back): the section between them.
        if (*loopOut_ < *loopIn_) std::swap(*loopIn_, *loopOut_);
        if (*loopOut_ - *loopIn_ < 0.01) loopIn_.reset(), loopOut_.reset();
      } else {
        loopIn_.reset();
        loopOut_.reset();
      }
      break;
    case PlaybackCommand::StepBack: StepFrame(-1); break;
    case PlaybackCommand::StepForward: StepFrame(1); break;
    case PlaybackCommand::ToggleMarker: markers_.Toggle(now, HalfFrame(), message_); break;
    case PlaybackCommand::PreviousMarker:
      if (const auto to = markers_.Before(now, HalfFrame())) SeekToMusicTime(*to);
      break;
    case PlaybackCommand::NextMarker:
      if (const auto to = markers_.After(now, HalfFrame())) SeekToMusicTime(*to);
      break;
  }
}

void PlaybackControls::StepFrame(int direction) {
  if (!paused_) return;
  const double frame = playback_.currentEntry()->scene->frameDuration;
  if (!(frame > 0.0)) return;
  // Held between two frames, a step lands on the grid's next frame that way.
  const double scene = playback_.SceneTime();
  const double at = scene / frame;
  const double to = direction > 0 ? std::floor(at + kOnGrid) + 1.0 : std::ceil(at - kOnGrid) - 1.0;
  SeekToMusicTime(playback_.MusicTime() + (to * frame - scene));
}

double PlaybackControls::HalfFrame() const {
  return std::max(1e-4, 0.5 * static_cast<double>(playback_.currentEntry()->scene->frameDuration));
}

void PlaybackControls::HoldAtEnd() {
  if (!paused_) Apply(PlaybackCommand::TogglePause);
  SeekToMusicTime(demoEnd_.value_or(playback_.MusicTime()));
}

void PlaybackControls::Restore(bool paused, std::optional<double> loopIn, std::optional<double> loopOut) {
  paused_ = paused;
  loopIn_ = loopIn;
  loopOut_ = loopOut;
}

void PlaybackControls::KeepLoop() {
  if (!loopIn_ || !loopOut_ || paused_) return;
  if (playback_.MusicTime() >= *loopOut_) SeekToMusicTime(*loopIn_);
}

void PlaybackControls::SeekToMusicTime(double seconds) {
  double t = std::max(0.0, seconds);
  if (demoEnd_) t = std::min(t, std::max(0.0, *demoEnd_ - kBeforeEnd));
  SeekTo(FindPlaybackPosition(script_, t));
}

void PlaybackControls::SeekToEntry(int32_t index) {
  if (entryStarts_.empty()) return;
  const int32_t last = static_cast<int32_t>(entryStarts_.size()) - 1;
  SeekTo(entryStarts_[static_cast<std::size_t>(std::clamp(index, 0, last))]);
}

void PlaybackControls::SeekTo(const PlaybackPosition& to) { playback_.SeekTo(to, !paused_); }

void PlaybackControls::SetSpeed(double speed) {
  if (speed == clock_.speed()) return;
  clock_.SetSpeed(speed);
  music_.SpeedChanged(speed);
}

}  // namespace stagwerk
