#include "platform/MusicPlayer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "script/DemoScript.h"
#include "app/playback/PlaybackClock.h"
#include "music/DemoMusic.h"
#include "music/OggVorbisWriter.h"
#include "platform/Clock.h"
#include "scene/Scene.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using testing::TempDir;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double Seconds(int64_t position) { return static_cast<double>(position) * 1e-7; }

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

TEST(Clock, RealWaitsReachTheDeadlineWithoutBurningACore) {
  SdlClock clock;
  ASSERT_GT(clock.Frequency(), 1000);
  const double cpuBefore = CpuSeconds();
  std::vector<int64_t> late;
  for (int i = 0; i < 10; ++i) {
    const int64_t start = clock.Now();
    const int64_t deadline = start + clock.Frequency() / 25;  // one frame at 25 fps
    clock.WaitUntil(deadline);
    const int64_t end = clock.Now();
    EXPECT_GE(end, deadline);
    late.push_back(end - deadline);
  }
  // A loaded machine may wake a sleeper late now and then; the typical wait
  // must still end within 10 ms of its deadline.
  std::sort(late.begin(), late.end());
  EXPECT_LT(late[5], clock.Frequency() / 100) << "the median wait ended more than 10 ms late";
  clock.WaitUntil(clock.Now() - 1);  // a deadline already passed returns at once
  // 0.4 s of waiting; a busy wait would use all of it.
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.1);
}

TEST(SilentMusic, KeepsTimeOnAnyCounterFromWhereItWasSought) {
  VirtualClock clock(1'000'000'000);  // a nanosecond counter, as SDL's often is
  SilentMusic music(clock);
  music.Seek(MusicUnits(65.25));
  EXPECT_EQ(music.lastSeek(), 652500000);
  clock.AdvanceSeconds(3.0);
  EXPECT_EQ(music.Position(), 652500000);  // nothing moves before run()
  music.Run();
  clock.AdvanceSeconds(1.5);
  EXPECT_EQ(music.Position(), 652500000 + 15000000);
  music.Pause();
  clock.AdvanceSeconds(1.0);
  EXPECT_EQ(music.Position(), 652500000 + 15000000);
  music.Run();
  clock.AdvanceSeconds(0.25);
  EXPECT_EQ(music.Position(), 652500000 + 17500000);
}

// A scene of the given length at 25 fps, and a script of such scenes.
struct Script {
  explicit Script(std::initializer_list<std::pair<float, float>> entries) {  // (length, music start)
    for (const auto& [length, musicStart] : entries) {
      auto scene = std::make_unique<Scene>();
      scene->sceneEnd = length;
      scene->frameDuration = 0.04f;
      scene->cameras.Append(std::make_unique<Camera>());
      auto entry = std::make_unique<ScriptEntry>();
      entry->scene = scene.get();
      entry->musicStart = musicStart;
      entry->sceneEnd = length;
      entry->camera = scene->cameras.head();
      scenes.push_back(std::move(scene));
      script.entries.Append(std::move(entry));
    }
  }
  std::vector<std::unique_ptr<Scene>> scenes;
  DemoScript script;
};

// Plays a script in real time; the seconds it took.
double PlayInRealTime(const DemoScript& script, SdlClock& clock, MusicPlayer& music) {
  NullFrameTarget nothing;
  const auto start = std::chrono::steady_clock::now();
  PlaybackClock playback(script, clock, music, nothing);
  playback.StartPlayback();
  while (playback.AdvanceFrame()) {
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class SdlMusic : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
  // A few seconds of the demo's own music as a real OGG file.
  std::string MakeOgg(double seconds) {
    const std::string path = dir / "music.ogg";
    music::WriteOggVorbis(path, music::RenderDemoMusic(seconds), music::kDemoMusicChannels, music::kDemoMusicRate);
    return path;
  }
  TempDir dir;
  SdlClock clock;
  std::ostringstream warnings;
};

TEST_F(SdlMusic, ARealOggPlaysSoughtAndPausedWithTheDummyDriver) {
  const std::string file = MakeOgg(4.0);
  auto music = OpenMusic(file, clock, warnings);
  EXPECT_EQ(warnings.str(), "");
  EXPECT_EQ(music->Position(), 0);
  music->Seek(MusicUnits(1.5));
  EXPECT_EQ(music->Position(), 15000000);
  const auto run = std::chrono::steady_clock::now();
  music->Run();
  Sleep(0.5);
  const double playing = Seconds(music->Position());
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - run).count();
  // It plays in real time; sound is fed in buffers of about 23 ms, so allow
  // a few on either side.
  EXPECT_NEAR(playing, 1.5 + elapsed, 0.12);
  music->Pause();
  Sleep(0.1);
  const int64_t paused = music->Position();
  Sleep(0.2);
  EXPECT_EQ(music->Position(), paused);
  // Past the end of the file the position stops: the end of the music
  // ends nothing by itself.
  music->Run();
  Sleep(2.6);
  const int64_t ended = music->Position();
  EXPECT_NEAR(Seconds(ended), 4.0, 0.1);
  Sleep(0.2);
  EXPECT_EQ(music->Position(), ended);
  music->Release();
  EXPECT_EQ(music->Position(), ended);
  EXPECT_EQ(warnings.str(), "");
}

TEST_F(SdlMusic, ADemoWithRealMusicEndsOnTime) {
  const std::string file = MakeOgg(2.0);
  auto music = OpenMusic(file, clock, warnings);
  Script demo{{0.5f, 0.0f}, {0.4f, 0.3f}};  // the second entry cuts the first at 0.3 s
  const double took = PlayInRealTime(demo.script, clock, *music);
  EXPECT_GT(took, 0.65);
  EXPECT_LT(took, 1.2);
  EXPECT_EQ(warnings.str(), "");

  // Giving up on the sound later keeps the position where it got to, paused
  // or playing.
  const int64_t paused = music->Position();
  music->FallBackToSilence("gone quiet");
  EXPECT_EQ(warnings.str(), "stagwerk: music " + file + ": gone quiet; playing without sound\n");
  Sleep(0.05);
  EXPECT_EQ(music->Position(), paused);
  music->Run();
  Sleep(0.1);
  EXPECT_NEAR(Seconds(music->Position() - paused), 0.1, 0.02);
  music->FallBackToSilence("again");  // one warning only
  EXPECT_EQ(warnings.str(), "stagwerk: music " + file + ": gone quiet; playing without sound\n");
}

TEST_F(SdlMusic, MusicThatCannotPlayWarnsOnceAndKeepsTimeSilently) {
  const std::string notMusic = dir.Write("notes.ogg", "these are not the sounds you are looking for\n");
  const std::string music = MakeOgg(1.0);
  struct Case {
    std::string file;
    const char* driver;
    std::string reason;  // the warning's reason, or its start
  };
  const Case cases[] = {
      {dir / "missing.ogg", "dummy", "No such file or directory"},
      {notMusic, "dummy", ""},
      {music, "no-such-audio-driver", "no audio device: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.driver);
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    warnings.str("");
    auto player = OpenMusic(c.file, clock, warnings);
    const std::string text = warnings.str();
    const std::string prefix = "stagwerk: music " + c.file + ": " + c.reason;
    EXPECT_EQ(text.substr(0, prefix.size()), prefix) << text;
    ASSERT_GE(text.size(), 30u);
    EXPECT_EQ(text.substr(text.size() - 24), "; playing without sound\n") << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);

    // The silent clock starts when the music would have been run, from
    // where it would have been sought, in real time.
    player->Seek(MusicUnits(2.0));
    Sleep(0.1);
    EXPECT_EQ(player->Position(), 20000000);
    const auto run = std::chrono::steady_clock::now();
    player->Run();
    Sleep(0.2);
    const int64_t position = player->Position();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - run).count();
    EXPECT_NEAR(Seconds(position), 2.0 + elapsed, 0.002);

    // And a demo on it ends on time, with no more warnings.
    auto again = OpenMusic(c.file, clock, warnings);
    Script demo{{0.5f, 0.0f}, {0.4f, 0.3f}};
    const double took = PlayInRealTime(demo.script, clock, *again);
    EXPECT_GT(took, 0.65);
    EXPECT_LT(took, 1.2);
    const std::string all = warnings.str();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 2);
  }
}

}  // namespace
}  // namespace stagwerk
