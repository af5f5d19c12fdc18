#include "app/playback/PlaybackClock.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "script/DemoScript.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "scene/Camera.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

// Music starting at or below this is played from its beginning, unsought.
constexpr float kSeekThreshold = 0.0001f;

double Seconds(int64_t musicPosition) { return static_cast<double>(musicPosition) * 1e-7; }

}  // namespace

PlaybackClock::PlaybackClock(const DemoScript& script, Clock& clock, MusicPlayer& music, FrameTarget& target)
    : script_(script), clock_(clock), music_(music), target_(target), counterFrequency_(clock.Frequency()) {}

float PlaybackClock::SceneTime() const { return SceneTimeAt(counterNow_); }

float PlaybackClock::SceneTimeAt(int64_t tick) const {
  return static_cast<float>(static_cast<double>(tick - counterStart_) / static_cast<double>(counterFrequency_) +
                            entryBase_);
}

float PlaybackClock::MusicTime() { return static_cast<float>(Seconds(music_.Position()) - musicOffset_); }

void PlaybackClock::StartPlayback() {
  index_ = 0;
  current_ = script_.entries.head();
  if (current_ == nullptr) throw std::logic_error("playback of a script without entries");
  ended_ = false;
  target_.ActivateScene(*current_->scene);
  if (current_->musicStart > kSeekThreshold) music_.Seek(MusicUnits(current_->musicStart));
  music_.Run();
  const int64_t firstReading = music_.Position();
  musicOffset_ = static_cast<float>(Seconds(firstReading) - current_->musicStart);
  WaitForMusic(current_->musicStart, firstReading);
  entryBase_ = current_->sceneStart;
  counterStart_ = clock_.Now();
  counterNow_ = clock_.Now();
  frameTime_ = SceneTime();
}

void PlaybackClock::StartPlayback(const PlaybackPosition& from) {
  index_ = from.entry;
  current_ = script_.entries.At(index_);
  if (current_ == nullptr) throw std::logic_error("playback from an entry the script does not have");
  ended_ = false;
  target_.ActivateScene(*current_->scene);
  if (from.musicPosition > MusicUnits(kSeekThreshold)) music_.Seek(from.musicPosition);
  music_.Run();
  const int64_t firstReading = music_.Position();
  musicOffset_ = static_cast<float>(Seconds(firstReading) - from.musicTime);
  WaitForMusic(from.musicTime, firstReading);
  entryBase_ = current_->sceneStart;
  counterNow_ = clock_.Now();
  // The scene clock is set back by the time the ideal machine had already
  // played this entry.
  const double played = static_cast<double>(from.sceneTime) - entryBase_;
  counterStart_ = counterNow_ - std::llround(played * static_cast<double>(counterFrequency_));
  frameTime_ = SceneTime();
  lastMusicTime_ = from.lastMusicTime;
}

void PlaybackClock::SeekTo(const PlaybackPosition& to, bool running) {
  music_.Pause();
  index_ = to.entry;
  current_ = script_.entries.At(index_);
  if (current_ == nullptr) throw std::logic_error("a seek to an entry the script does not have");
  ended_ = false;
  target_.ActivateScene(*current_->scene);
  DrawTrail(to.sceneTime);
  music_.Seek(to.musicPosition);
  // The ideal machine's offset between music position and music time.
  musicOffset_ = static_cast<float>(Seconds(to.musicPosition) - to.musicTime);
  if (running) {
    music_.Run();
    WaitForMusic(to.musicTime, music_.Position());
  }
  entryBase_ = current_->sceneStart;
  counterNow_ = clock_.Now();
  const double played = static_cast<double>(to.sceneTime) - entryBase_;
  counterStart_ = counterNow_ - std::llround(played * static_cast<double>(counterFrequency_));
  frameTime_ = SceneTime();
  lastMusicTime_ = to.lastMusicTime;
  if (!running && frameTime_ < current_->sceneEnd) {
    target_.RenderFrame(*current_->scene, frameTime_, *current_->camera, EntryMusicTime(*current_, frameTime_));
  }
}

void PlaybackClock::RedrawHeld() {
  if (current_ == nullptr || !(frameTime_ < current_->sceneEnd)) return;
  DrawTrail(frameTime_);
  target_.RenderFrame(*current_->scene, frameTime_, *current_->camera, EntryMusicTime(*current_, frameTime_));
}

void PlaybackClock::DrawTrail(float sceneTime) {
  const Scene& scene = *current_->scene;
  if (!current_->camera->blurLength || !(scene.frameDuration > 0.0f)) return;
  // Each frame keeps the blur length of the one before, so a frame n back
  // weighs length^n: only those above 1/1000 are drawn again, at most
  // kSeekTrailFrames.
  const double length = 1.0 - CameraBlurFade(*current_->camera, sceneTime);
  if (!(length > 0.0)) return;
  const double wanted = length < 1.0 ? std::ceil(std::log(1e-3) / std::log(length)) : kSeekTrailFrames;
  const double frames = std::min<double>(kSeekTrailFrames, wanted);
  const double first = std::max<double>(current_->sceneStart, sceneTime - frames * static_cast<double>(scene.frameDuration));
  const double steps = std::floor((first - current_->sceneStart) / scene.frameDuration);
  for (double k = std::max(0.0, steps);; ++k) {
    const float t = static_cast<float>(current_->sceneStart + k * scene.frameDuration);
    if (!(t < sceneTime) || !(t < current_->sceneEnd)) break;
    target_.RenderFrame(*current_->scene, t, *current_->camera, EntryMusicTime(*current_, t));
  }
}

void PlaybackClock::WaitForMusic(float musicStart, int64_t firstReading) {
  // Hold the picture back until the music is really playing, polling every
  // millisecond. Music whose position does not move within the time limit
  // is given up for a silent clock; should even that stand still, the
  // picture starts anyway rather than hang.
  const int64_t step = std::max<int64_t>(1, counterFrequency_ / 1000);
  int64_t deadline = clock_.Now() + TicksFor(clock_, kMusicStartTimeout);
  bool silent = false;
  for (;;) {
    const int64_t position = music_.Position();
    if (position > firstReading && Seconds(position) - musicOffset_ > musicStart) return;
    const int64_t now = clock_.Now();
    if (now >= deadline) {
      if (silent) return;
      music_.FallBackToSilence("the position did not move within 2 s of starting");
      silent = true;
      deadline = now + TicksFor(clock_, kMusicStartTimeout);
    }
    clock_.WaitUntil(now + step);
  }
}

void PlaybackClock::SwitchTo(int32_t index) {
  index_ = index;
  current_ = script_.entries.At(index);
  entryBase_ = current_->sceneStart;
  counterStart_ = clock_.Now();
  counterNow_ = clock_.Now();
  frameTime_ = SceneTime();
  target_.ActivateScene(*current_->scene);
}

bool PlaybackClock::AdvanceFrame() {
  if (ended_) return false;

  // The music decides entry changes, one entry per pass at most.
  const float musicTime = MusicTime();
  if (musicTime > lastMusicTime_) {
    const ScriptEntry* next = script_.entries.At(index_ + 1);
    if (next != nullptr && musicTime > next->musicStart) SwitchTo(index_ + 1);
    lastMusicTime_ = musicTime;
  }

  counterNow_ = clock_.Now();
  const float sceneTime = SceneTime();
  if (sceneTime < current_->sceneEnd) {
    target_.RenderFrame(*current_->scene, sceneTime, *current_->camera, EntryMusicTime(*current_, sceneTime));
  } else if (script_.entries.At(index_ + 1) == nullptr) {
    music_.Pause();
    ended_ = true;
    return false;
  } else {
    SwitchTo(index_ + 1);  // nothing drawn in this pass
  }

  // Pacing: no faster than the scene's frame rate, counted from the end of
  // the previous pass. Sleep to the tick where the next frame is due and
  // check again, since the float rounding of scene times has the last word.
  const float frameDuration = current_->scene->frameDuration;
  counterNow_ = clock_.Now();
  while (SceneTime() - frameTime_ < frameDuration) {
    const double due = static_cast<double>(frameTime_) + frameDuration - entryBase_;
    int64_t deadline = counterStart_ + TicksFor(clock_, due);
    if (deadline <= counterNow_) deadline = counterNow_ + 1;
    clock_.WaitUntil(deadline);
    counterNow_ = clock_.Now();
  }
  counterNow_ = clock_.Now();
  frameTime_ = SceneTime();
  if (frameTime_ < current_->sceneEnd) {
    target_.Upcoming(*current_->scene, frameTime_, *current_->camera, EntryMusicTime(*current_, frameTime_));
  }
  return true;
}

std::optional<double> DemoEndMusicTime(const DemoScript& script) {
  constexpr double kLongestDemo = 24.0 * 3600.0;
  VirtualClock clock;
  SilentMusic music(clock);
  NullFrameTarget nothing;
  PlaybackClock playback(script, clock, music, nothing);
  playback.StartPlayback();
  while (playback.AdvanceFrame()) {
    if (playback.MusicTime() > kLongestDemo) return std::nullopt;
  }
  return static_cast<double>(music.Position()) * 1e-7;
}

PlaybackPosition FindPlaybackPosition(const DemoScript& script, double musicTime) {
  VirtualClock clock;
  SilentMusic music(clock);
  NullFrameTarget nothing;
  PlaybackClock playback(script, clock, music, nothing);
  playback.StartPlayback();

  auto now = [&] {
    PlaybackPosition at;
    at.entry = playback.currentIndex();
    at.sceneTime = playback.SceneTime();
    at.musicPosition = music.Position();
    at.musicTime = static_cast<float>(Seconds(at.musicPosition) - playback.musicOffset());
    at.lastMusicTime = playback.lastMusicTime();
    return at;
  };
  // Asked for the start or earlier: the start is where playback is then.
  if (Seconds(music.Position()) - playback.musicOffset() >= musicTime) return now();

  while (Seconds(music.Position()) - playback.musicOffset() < musicTime) {
    if (!playback.AdvanceFrame()) {
      PlaybackPosition at = now();
      at.sceneTime = playback.currentEntry()->sceneEnd;
      at.ended = true;
      return at;
    }
  }
  // The last pass ended past the time asked for. The ideal machine's counter
  // and music advance together, and the pass began before that time, so
  // step both back by the overshoot.
  PlaybackPosition at = now();
  const double over = static_cast<double>(at.musicPosition - MusicUnits(musicTime + playback.musicOffset())) * 1e-7;
  at.musicPosition = MusicUnits(musicTime + playback.musicOffset());
  at.musicTime = static_cast<float>(musicTime);
  at.sceneTime = static_cast<float>(
      std::max(static_cast<double>(playback.currentEntry()->sceneStart), static_cast<double>(at.sceneTime) - over));
  return at;
}

}  // namespace stagwerk

namespace stagwerk {

namespace {

// Notes where the ideal machine is each time an entry begins.
class EntryStartRecorder final : public FrameTarget {
 public:
  EntryStartRecorder(const DemoScript& script, MusicPlayer& music) : script_(script), music_(music) {}
  void ActivateScene(Scene&) override {
    PlaybackPosition at;
    at.entry = static_cast<int32_t>(starts.size());
    const ScriptEntry* entry = script_.entries.At(at.entry);
    if (entry == nullptr) return;
    at.sceneTime = entry->sceneStart;
    at.musicPosition = music_.Position();
    at.musicTime = static_cast<float>(Seconds(at.musicPosition) - offset);
    at.lastMusicTime = at.musicTime;
    starts.push_back(at);
  }
  void RenderFrame(Scene&, float, Camera&, double) override {}

  std::vector<PlaybackPosition> starts;
  double offset = 0.0;

 private:
  const DemoScript& script_;
  MusicPlayer& music_;
};

constexpr double kLongestPlayback = 24.0 * 3600.0;

}  // namespace

std::vector<PlaybackPosition> FindEntryStarts(const DemoScript& script) {
  VirtualClock clock;
  SilentMusic music(clock);
  EntryStartRecorder recorder(script, music);
  PlaybackClock playback(script, clock, music, recorder);
  playback.StartPlayback();
  // The first entry is activated before the music runs: it begins where the
  // scene clock starts.
  recorder.offset = playback.musicOffset();
  if (!recorder.starts.empty()) {
    recorder.starts.front().musicPosition = music.Position();
    recorder.starts.front().musicTime = static_cast<float>(Seconds(music.Position()) - recorder.offset);
    recorder.starts.front().lastMusicTime = -1.0f;
  }
  while (playback.AdvanceFrame() && playback.MusicTime() < kLongestPlayback) {
  }
  return recorder.starts;
}

}  // namespace stagwerk
