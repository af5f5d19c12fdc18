#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "music/ProTrackerModule.h"
#include "platform/Clock.h"
#include "platform/ModuleRenderer.h"
#include "platform/MusicPlayer.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using testing::TempDir;

constexpr int kRate = 48000;
constexpr int64_t kBuffer = 1024;  // the device buffer the player asks for

double Seconds(int64_t position) { return static_cast<double>(position) * 1e-7; }
void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::vector<float> RenderFrames(ModuleRenderer& module, std::size_t frames) {
  std::vector<float> out(2 * frames);
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t n = module.Render(out.data() + 2 * done, std::min<std::size_t>(frames - done, 4096), kRate);
    if (n == 0) break;
    done += n;
  }
  out.resize(2 * done);
  return out;
}

// Squared difference of `part` against `whole` from frame `at`.
double Mismatch(const std::vector<float>& whole, int64_t at, const std::vector<float>& part, std::size_t frames) {
  double sum = 0;
  for (std::size_t i = 0; i < 2 * frames; ++i) {
    const double d = whole[2 * at + i] - part[i];
    sum += d * d;
  }
  return sum;
}

TEST(ModuleRenderer, SeeksLandWherePlainPlaybackIsThroughLoopsAndJumps) {
  const std::vector<uint8_t> bytes = music::MakeTestModule();
  ModuleRenderer plain(bytes);
  const std::vector<float> whole = RenderFrames(plain, 10 * kRate);
  // The loop plays rows 1-4 three times and the jump skips a whole pattern.
  EXPECT_NEAR(whole.size() / 2.0 / kRate, music::kTestModuleSeconds, 0.15);

  // Mid-row in the first, second and third pass of the loop, just before and
  // after the jump, near the end.
  for (const double t : {0.03, 0.37, 0.61, 1.0, 1.05, 2.5}) {
    SCOPED_TRACE(t);
    ModuleRenderer sought(bytes);
    EXPECT_DOUBLE_EQ(sought.Seek(t, kRate), t);
    const std::size_t stretch = static_cast<std::size_t>(0.4 * kRate);
    const std::vector<float> after = RenderFrames(sought, stretch);
    ASSERT_EQ(after.size(), 2 * stretch);
    // Where in the plain playback the first 4096 frames fit best.
    const auto expected = static_cast<int64_t>(std::llround(t * kRate));
    int64_t best = -1;
    double bestMismatch = 1e300;
    for (int64_t at = std::max<int64_t>(0, expected - 2 * kBuffer); at <= expected + 2 * kBuffer; ++at) {
      const double m = Mismatch(whole, at, after, 4096);
      if (m < bestMismatch) bestMismatch = m, best = at;
    }
    EXPECT_LE(std::abs(best - expected), kBuffer) << "landed at " << static_cast<double>(best) / kRate << " s";
    // And the 0.4 s after it sound the same: not merely another pass of the loop.
    const double energy = Mismatch(whole, best, std::vector<float>(2 * stretch, 0.0f), stretch);
    ASSERT_GT(energy, 1.0);
    EXPECT_LT(Mismatch(whole, best, after, stretch), 0.01 * energy);
  }
  ModuleRenderer pastTheEnd(bytes);
  EXPECT_NEAR(pastTheEnd.Seek(60.0, kRate), music::kTestModuleSeconds, 1e-9);
  EXPECT_EQ(RenderFrames(pastTheEnd, 100).size(), 0u);
}

class ModuleMusic : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
  TempDir dir;
  SdlClock clock;
  std::ostringstream warnings;
};

TEST_F(ModuleMusic, PlaysOnTheDummyDeviceAndNeverRunsBackThroughTheLoop) {
  const std::vector<uint8_t> song = music::MakeTestModule();
  const std::string file = dir.Write("song", std::string(song.begin(), song.end()));  // known by its bytes
  ASSERT_TRUE(IsTrackerModule(file));
  auto music = OpenMusic(file, clock, warnings);
  EXPECT_EQ(warnings.str(), "");
  EXPECT_EQ(music->Position(), 0);
  music->Seek(MusicUnits(0.2));
  EXPECT_EQ(music->Position(), 2000000);

  // Through the loop's three passes and the jump.
  const auto run = std::chrono::steady_clock::now();
  music->Run();
  int64_t last = music->Position();
  for (int i = 0; i < 240; ++i) {
    Sleep(0.005);
    const int64_t now = music->Position();
    ASSERT_GE(now, last) << "after " << i * 5 << " ms";
    last = now;
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - run).count();
  EXPECT_NEAR(Seconds(last), 0.2 + elapsed, 0.12);  // a few 21 ms buffers either way

  music->Pause();
  const int64_t paused = music->Position();
  Sleep(0.2);
  EXPECT_EQ(music->Position(), paused);

  // Sought while paused it reads the time sought, and comes to rest at the end.
  music->Seek(MusicUnits(2.7));
  EXPECT_EQ(music->Position(), 27000000);
  music->Run();
  Sleep(0.7);
  const int64_t ended = music->Position();
  EXPECT_GT(Seconds(ended), music::kTestModuleSeconds - 0.01);
  EXPECT_LT(Seconds(ended), music::kTestModuleSeconds + 0.15);
  Sleep(0.1);
  EXPECT_EQ(music->Position(), ended);
  music->Release();
  EXPECT_EQ(music->Position(), ended);
  EXPECT_EQ(warnings.str(), "");
}

TEST_F(ModuleMusic, BrokenModulesWarnAndKeepTimeSilently) {
  const std::vector<uint8_t> song = music::MakeTestModule();
  const std::string good = dir.Write("good.mod", std::string(song.begin(), song.end()));
  struct Case {
    std::string file;
    const char* driver;
    std::string reason;
  };
  const Case cases[] = {
      {dir.Write("noise.XM", std::string(3000, '\x5a')), "dummy", "not a module libopenmpt can read"},
      {dir.Write("empty.it", ""), "dummy", "empty file, not a module"},
      {dir.Write("cut.mod", std::string(song.begin(), song.begin() + 600)), "dummy",
       "not a module libopenmpt can read"},
      {good, "no-such-audio-driver", "no audio device: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_TRUE(IsTrackerModule(c.file));
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    warnings.str("");
    auto player = OpenMusic(c.file, clock, warnings);
    const std::string text = warnings.str();
    const std::string prefix = "stagwerk: music " + c.file + ": " + c.reason;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix) << text;
    ASSERT_GE(text.size(), 24u);
    EXPECT_EQ(text.substr(text.size() - 24), "; playing without sound\n") << text;
    player->Seek(MusicUnits(1.0));
    player->Run();
    Sleep(0.1);
    EXPECT_NEAR(Seconds(player->Position()), 1.1, 0.02);
  }
  // Everything else stays with SDL2_mixer.
  EXPECT_FALSE(IsTrackerModule(dir.Write("notes.ogg", "these are not the sounds you are looking for\n")));
  EXPECT_FALSE(IsTrackerModule(dir / "missing.mod"));
}

}  // namespace
}  // namespace stagwerk
