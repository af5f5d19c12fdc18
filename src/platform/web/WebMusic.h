#pragma once
// The soundtrack in a page: Web Audio plays what the browser decoded (see
// web_audio.js) and the position comes from the audio context's clock.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/MusicPlayer.h"

namespace stagwerk {

class Clock;

class WebMusic final : public MusicPlayer {
 public:
  explicit WebMusic(std::string file, Clock& clock) : file_(std::move(file)), clock_(clock), silent_(clock) {}
  ~WebMusic() override { Release(); }

  void Seek(int64_t position) override;
  void Run() override;
  int64_t Position() override;
  void Pause() override;
  void Release() override;
  void FallBackToSilence(const std::string& reason) override;

 private:
  void GoSilent(const std::string& reason, int64_t at, bool running);

  std::string file_;
  Clock& clock_;
  SilentMusic silent_;
  bool silence_ = false;
  bool running_ = false;
  // The audio clock moves in blocks of samples and only between the page's
  // tasks; in between, the position moves on with the page's clock, by at
  // most kMaxCarry, and never goes back.
  int64_t lastAudio_ = -1;
  int64_t lastAudioTick_ = 0;
  int64_t lastReported_ = 0;
};

// Starts decoding the music file (a path in the page's file system) in the
// browser. Call once its bytes are there, long before the first click.
void DecodeWebMusic(const std::string& file);

// The music once the page's first click has unlocked sound: Web Audio when
// the file decoded and the browser plays it, else, with one warning
//   stagwerk: music <file>: <reason>; playing without sound
// on the console, a SilentMusic on `clock`.
std::unique_ptr<MusicPlayer> OpenWebMusic(const std::string& file, Clock& clock);

}  // namespace stagwerk
