#pragma once
// What an author's keys do to playback: hold and resume, seek, step
// through entries or frames, change the speed, loop a section and go from
// marker to marker. Every seek lands where a whole playback would be at
// that music time.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/playback/Markers.h"
#include "app/playback/PlaybackClock.h"

namespace stagwerk {

struct DemoScript;
class PacedMusic;
class ScaledClock;

enum class PlaybackCommand {
  TogglePause,
  Back1,
  Forward1,
  Back10,
  Forward10,
  PreviousEntry,
  NextEntry,
  Home,
  Slower,
  Faster,
  NormalSpeed,
  Loop,
  // Held only: the previous or next frame on the current scene's grid.
  StepBack,
  StepForward,
  // A marker at the music time, or off again within half a frame of one.
  ToggleMarker,
  PreviousMarker,
  NextMarker,
};

constexpr double kSlowest = 0.125;
constexpr double kFastest = 4.0;

class PlaybackControls {
 public:
  // All referred to, not owned. Plays the ideal machine through the
  // script once, for the entry starts and the demo's length.
  PlaybackControls(const DemoScript& script, PlaybackClock& playback, ScaledClock& clock, PacedMusic& music);

  void Apply(PlaybackCommand command);
  // Once per pass while playing: jumps from the loop's out point to its in.
  void KeepLoop();
  // Seeks to a music time, clamped to the demo.
  void SeekToMusicTime(double seconds);

  // Holds playback on the demo's last picture, as a seek past the end does.
  void HoldAtEnd();

  // Reads the markers from `path` and saves them there as they change; the
  // lines it skipped, as Markers::Load says them.
  std::vector<std::string> UseMarkersFile(const std::string& path) { return markers_.Load(path); }
  // What the last command has to say (a markers file that cannot be
  // written), once; empty for nothing.
  std::string TakeMessage() { return std::exchange(message_, {}); }

  // Carries the held state and the loop over to a demo loaded anew.
  void Restore(bool paused, std::optional<double> loopIn, std::optional<double> loopOut);

  bool paused() const { return paused_; }
  double speed() const;
  std::optional<double> loopIn() const { return loopIn_; }
  std::optional<double> loopOut() const { return loopOut_; }
  // The music time at which the demo ends, or nothing if it never does.
  std::optional<double> demoEnd() const { return demoEnd_; }
  const Markers& markers() const { return markers_; }

 private:
  void SeekTo(const PlaybackPosition& to);
  void SeekToEntry(int32_t index);
  void SetSpeed(double speed);
  void StepFrame(int direction);
  // Half of the current scene's frame: how near counts as at a marker.
  double HalfFrame() const;

  const DemoScript& script_;
  PlaybackClock& playback_;
  ScaledClock& clock_;
  PacedMusic& music_;
  std::vector<PlaybackPosition> entryStarts_;
  std::optional<double> demoEnd_;
  bool paused_ = false;
  std::optional<double> loopIn_;
  std::optional<double> loopOut_;
  Markers markers_;
  std::string message_;
};

}  // namespace stagwerk
