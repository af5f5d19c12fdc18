#pragma once
// The music while an author works. At 1x it is the soundtrack itself; at
// any other speed the soundtrack is paused and a silent clock on the scaled
// counter keeps the music time, and back at 1x the soundtrack is sought to
// where that clock got and runs again. SDL_mixer cannot change the speed
// of its music stream, and a muted, exact music time is more use for
// timing a cut than pitched-down sound.
// Modules are muted the same way: at another tempo their long samples
// still sound for their own length, which is not the demo's sound either.
#include <cstdint>
#include <string>

#include "app/playback/ScaledClock.h"
#include "platform/MusicPlayer.h"

namespace stagwerk {

class PacedMusic final : public MusicPlayer {
 public:
  PacedMusic(MusicPlayer& soundtrack, ScaledClock& clock) : soundtrack_(&soundtrack), standIn_(clock) {}

  void Seek(int64_t position) override;
  void Run() override;
  int64_t Position() override;
  void Pause() override;
  void Release() override;
  void FallBackToSilence(const std::string& reason) override;

  // The music file was opened again: play that from now on, from where it
  // is next sought. The old one must be gone first (one stream at a time).
  void SetSoundtrack(MusicPlayer& soundtrack) { soundtrack_ = &soundtrack; }

  // Call after the clock's speed changed.
  void SpeedChanged(double speed);
  bool muted() const { return muted_; }

 private:
  MusicPlayer& current() { return muted_ ? static_cast<MusicPlayer&>(standIn_) : *soundtrack_; }

  MusicPlayer* soundtrack_;
  SilentMusic standIn_;
  bool muted_ = false;
  bool running_ = false;
};

}  // namespace stagwerk
