// The page's clock and music under node, on a scripted audio clock
// (fake_audio.js): what the frame loop and the playback clock rely on.
#include <emscripten.h>
#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/web/WebClock.h"
#include "platform/web/WebMusic.h"

namespace stagwerk {
namespace {

constexpr int64_t kSecond = 10'000'000;

// clang-format off
EM_JS(void, AudioAt, (double seconds), { Module['stagwerkAudio'].at = seconds; });
EM_JS(int, JsAudioRunning, (), { return Module['stagwerkAudio'].running ? 1 : 0; });
EM_JS(void, AudioFails, (int fails), {
  Module['stagwerkAudio'].failure = fails ? "cannot decode it (EncodingError)" : "";
});
EM_JS(void, AudioStops, (int stops), {
  Module['stagwerkAudio'].stopped = stops != 0;
  Module['stagwerkAudio'].failure = stops ? "the module player stopped" : "";
});
// clang-format on
bool AudioRunning() { return JsAudioRunning() != 0; }

TEST(WebClock, AWaitMovesTheReadingOnWithoutSleepingAndTheFrameWaitsForRealTime) {
  WebClock clock;
  const int64_t before = clock.Now();
  const double wallBefore = emscripten_get_now();
  clock.WaitUntil(before + kSecond);
  EXPECT_LT(emscripten_get_now() - wallBefore, 100.0) << "no sleeping";
  EXPECT_GE(clock.Now(), before + kSecond);
  EXPECT_FALSE(clock.Due());
  clock.WaitUntil(before);  // an earlier deadline changes nothing
  EXPECT_GE(clock.Now(), before + kSecond);

  WebClock fresh;
  fresh.WaitUntil(fresh.Now() - 1);
  EXPECT_TRUE(fresh.Due());
}

TEST(WebMusic, PositionFollowsTheAudioClockCarriesOnBetweenReadingsAndNeverGoesBack) {
  VirtualClock clock(kSecond);
  WebMusic music("theme.ogg", clock);
  AudioAt(0);
  music.Seek(0);
  music.Run();
  EXPECT_TRUE(AudioRunning());
  EXPECT_EQ(music.Position(), 0);
  // The audio clock stands still within a task: the page's clock carries
  // the position on, so a wait for the music to move ends ...
  clock.Advance(kSecond / 1000);
  EXPECT_EQ(music.Position(), kSecond / 1000);
  // ... but by no more than a twentieth of a second.
  clock.Advance(kSecond);
  EXPECT_EQ(music.Position(), kSecond / 20);
  // A new reading wins; one behind what was reported holds the position.
  AudioAt(2.0);
  EXPECT_EQ(music.Position(), 2 * kSecond);
  AudioAt(1.99);
  EXPECT_EQ(music.Position(), 2 * kSecond);
  AudioAt(2.5);
  EXPECT_EQ(music.Position(), 25 * kSecond / 10);

  music.Pause();
  EXPECT_FALSE(AudioRunning());
  EXPECT_EQ(music.Position(), 25 * kSecond / 10);
  clock.Advance(kSecond);  // held: no carrying on
  EXPECT_EQ(music.Position(), 25 * kSecond / 10);
  music.Seek(10 * kSecond);
  EXPECT_EQ(music.Position(), 10 * kSecond);
}

TEST(WebMusic, SilenceTakesOverFromThePositionReachedAndAFailedDecodeWarnsWithTheFile) {
  VirtualClock clock(kSecond);
  WebMusic music("theme.ogg", clock);
  AudioAt(3.0);
  music.Run();
  EXPECT_EQ(music.Position(), 3 * kSecond);
  testing::internal::CaptureStderr();
  music.FallBackToSilence("the position did not move");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "stagwerk: music theme.ogg: the position did not move; playing without sound\n");
  EXPECT_FALSE(AudioRunning());
  clock.Advance(kSecond);
  EXPECT_EQ(music.Position(), 4 * kSecond);

  AudioFails(1);
  testing::internal::CaptureStderr();
  const auto silent = OpenWebMusic("broken.ogg", clock);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "stagwerk: music broken.ogg: cannot decode it (EncodingError); playing without sound\n");
  silent->Run();
  clock.Advance(kSecond);
  EXPECT_EQ(silent->Position(), kSecond);
  AudioFails(0);
}

TEST(WebMusic, APlayerThatStopsWhilePlayingWarnsOnceAndTimeGoesOnSilently) {
  VirtualClock clock(kSecond);
  WebMusic music("theme.mod", clock);
  AudioAt(2.0);
  music.Run();
  EXPECT_EQ(music.Position(), 2 * kSecond);
  AudioStops(1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(music.Position(), 2 * kSecond);
  clock.Advance(kSecond);
  EXPECT_EQ(music.Position(), 3 * kSecond);
  music.FallBackToSilence("the position did not move");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "stagwerk: music theme.mod: the module player stopped; playing without sound\n");
  EXPECT_FALSE(AudioRunning());
  AudioStops(0);
}

}  // namespace
}  // namespace stagwerk
