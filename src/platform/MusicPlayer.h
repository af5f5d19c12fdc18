#pragma once
// The soundtrack behind the playback clock: open, seek, run, position,
// pause, release. Positions are in 100 ns units; the music position is what
// moves the demo from one script entry to the next.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

namespace stagwerk {

class Clock;

constexpr double kMusicUnitsPerSecond = 1e7;

// Seconds to 100 ns units, truncated toward zero (65.25 s is 652500000).
int64_t MusicUnits(double seconds);

class MusicPlayer {
 public:
  virtual ~MusicPlayer() = default;
  // Where run() starts. Meant for a player that is not running.
  virtual void Seek(int64_t position) = 0;
  virtual void Run() = 0;
  // The position now, in 100 ns units.
  virtual int64_t Position() = 0;
  virtual void Pause() = 0;
  // Stops and lets go of the sound; the position holds still afterwards.
  // The destructor does it too.
  virtual void Release() = 0;
  // The sound did not start after all: keep time from a silent clock from
  // here on, from the position reached. Warns once, naming the reason.
  virtual void FallBackToSilence(const std::string& reason) = 0;
};

// Music that is only a clock: the position starts where it was sought when
// run() is called and advances with the clock until paused. With the real
// clock it stands in for music that cannot play; with a VirtualClock it is
// the ideal machine's music, which starts the instant it is run and
// advances in step with the counter.
class SilentMusic final : public MusicPlayer {
 public:
  explicit SilentMusic(Clock& clock) : clock_(clock) {}
  void Seek(int64_t position) override;
  void Run() override;
  int64_t Position() override;
  void Pause() override;
  void Release() override;
  void FallBackToSilence(const std::string&) override {}

  bool running() const { return running_; }
  int seekCount() const { return seekCount_; }
  int64_t lastSeek() const { return lastSeek_; }

 private:
  Clock& clock_;
  int64_t base_ = 0;        // position when last run or stopped
  int64_t runTick_ = 0;     // counter when last run
  bool running_ = false;
  int seekCount_ = 0;
  int64_t lastSeek_ = 0;
};

// Opens the music file: tracker modules (what libopenmpt reads, by their
// first bytes or their extension) on libopenmpt, everything else (OGG, MP3,
// FLAC, WAV, ...) on SDL2_mixer. When the file is missing or cannot be played,
// or there is no audio device, writes one line to `warnings`
//   stagwerk: music <file>: <reason>; playing without sound
// and keeps time from a SilentMusic on `clock` instead. Never throws for the
// music's sake. SDL_mixer has one music stream: open one player at a time.
std::unique_ptr<MusicPlayer> OpenMusic(const std::string& file, Clock& clock, std::ostream& warnings);

}  // namespace stagwerk
