// DemoEndMusicTime for the page. The desktop's sits in app/Capture.cpp,
// which the page cannot link (GL context, PNG and video writers); this is
// the same rule, to fold into one once that file is free to move.
#include <cstdint>
#include <optional>

#include "app/Capture.h"
#include "app/PlaybackClock.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"

namespace stagwerk {

namespace {

constexpr double kLongestDemo = 24.0 * 3600.0;

}  // namespace

std::optional<double> DemoEndMusicTime(const DemoScript& script) {
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

}  // namespace stagwerk
