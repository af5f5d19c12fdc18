// The clock-only music, apart from SDL_mixer: the browser build keeps time
// with it too.
#include "platform/MusicPlayer.h"

#include "platform/Clock.h"

namespace stagwerk {

int64_t MusicUnits(double seconds) { return static_cast<int64_t>(seconds * kMusicUnitsPerSecond); }

void SilentMusic::Seek(int64_t position) {
  ++seekCount_;
  lastSeek_ = position;
  base_ = position;
  runTick_ = clock_.Now();
}

void SilentMusic::Run() {
  if (running_) return;
  runTick_ = clock_.Now();
  running_ = true;
}

int64_t SilentMusic::Position() {
  if (!running_) return base_;
  const int64_t ticks = clock_.Now() - runTick_;
  const int64_t frequency = clock_.Frequency();
  if (frequency == static_cast<int64_t>(kMusicUnitsPerSecond)) return base_ + ticks;
  return base_ + static_cast<int64_t>(static_cast<double>(ticks) * kMusicUnitsPerSecond / static_cast<double>(frequency));
}

void SilentMusic::Pause() {
  base_ = Position();
  running_ = false;
}

void SilentMusic::Release() { Pause(); }

}  // namespace stagwerk
