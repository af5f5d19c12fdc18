#include "app/playback/PlaybackClock.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "script/DemoScript.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "anim/Envelope.h"
#include "scene/Camera.h"
#include "scene/Scene.h"

namespace stagwerk {
namespace {

struct Shot {
  bool activation;
  const Scene* scene;
  float time;     // scene time handed to RenderFrame
  double at;      // virtual seconds when it happened
};

// Remembers what playback asked to be drawn, and when.
struct Recorder final : FrameTarget {
  explicit Recorder(VirtualClock& clock) : clock(clock) {}
  void ActivateScene(Scene& scene) override { shots.push_back({true, &scene, 0.0f, Now()}); }
  void RenderFrame(Scene& scene, float time, Camera&, double) override { shots.push_back({false, &scene, time, Now()}); }
  double Now() const { return static_cast<double>(clock.Now()) / static_cast<double>(clock.Frequency()); }
  std::vector<Shot> Renders() const {
    std::vector<Shot> renders;
    for (const Shot& shot : shots) if (!shot.activation) renders.push_back(shot);
    return renders;
  }
  VirtualClock& clock;
  std::vector<Shot> shots;
};

// Scenes and a script built in memory: (first s, last s, fps, music start).
struct Demo {
  struct Entry { float sceneStart, sceneEnd; uint32_t fps; float musicStart; };
  explicit Demo(std::initializer_list<Entry> entries) {
    for (const Entry& e : entries) {
      auto scene = std::make_unique<Scene>();
      scene->sceneStart = e.sceneStart;
      scene->sceneEnd = e.sceneEnd;
      scene->framesPerSecond = e.fps;
      scene->frameDuration = 1.0f / static_cast<float>(e.fps);
      scene->cameras.Append(std::make_unique<Camera>());
      auto entry = std::make_unique<ScriptEntry>();
      entry->scene = scene.get();
      entry->musicStart = e.musicStart;
      entry->sceneStart = e.sceneStart;
      entry->sceneEnd = e.sceneEnd;
      entry->camera = scene->cameras.head();
      scenes.push_back(std::move(scene));
      script.entries.Append(std::move(entry));
    }
  }
  const Scene* scene(int i) const { return scenes[static_cast<std::size_t>(i)].get(); }
  std::vector<std::unique_ptr<Scene>> scenes;
  DemoScript script;
};

// A virtual machine around one demo.
struct Machine {
  explicit Machine(const DemoScript& script) : playback(script, clock, music, recorder) {}
  VirtualClock clock;
  SilentMusic music{clock};
  Recorder recorder{clock};
  PlaybackClock playback;
  // Plays to the end; the number of passes.
  int PlayToEnd(int limit = 100000) {
    int passes = 0;
    while (passes < limit && playback.AdvanceFrame()) ++passes;
    return passes;
  }
};

TEST(PlaybackClock, OneEntryPlaysInRealTimeAt25FpsThenPausesTheMusicAndEnds) {
  Demo demo{{1.0f, 3.0f, 25, 0.0f}};
  Machine m(demo.script);
  m.playback.StartPlayback();
  EXPECT_EQ(m.music.seekCount(), 0);  // a start at 0 is not sought
  EXPECT_TRUE(m.music.running());
  ASSERT_EQ(m.recorder.shots.size(), 1u);
  EXPECT_TRUE(m.recorder.shots[0].activation);
  const double started = m.recorder.Now();
  EXPECT_GT(started, 0.0);      // held back until the music moved...
  EXPECT_LT(started, 0.0011);   // ...which the ideal music does at once
  EXPECT_FLOAT_EQ(m.playback.frameTime(), 1.0f);

  m.PlayToEnd();
  EXPECT_FALSE(m.music.running());  // paused at the end
  EXPECT_FALSE(m.playback.AdvanceFrame());

  const std::vector<Shot> renders = m.recorder.Renders();
  ASSERT_GE(renders.size(), 49u);
  ASSERT_LE(renders.size(), 50u);
  EXPECT_FLOAT_EQ(renders.front().time, 1.0f);
  for (std::size_t i = 1; i < renders.size(); ++i) {
    // Never faster than the scene's rate, and on a machine where drawing
    // takes no time, not slower either.
    EXPECT_GE(renders[i].time - renders[i - 1].time, 0.04f) << i;
    EXPECT_LT(renders[i].time - renders[i - 1].time, 0.0401f) << i;
    EXPECT_GE(renders[i].at - renders[i - 1].at, 0.04 - 1e-7) << i;
    // Scene time is real time since the start, from FirstFrame.
    EXPECT_NEAR(renders[i].time, 1.0 + (renders[i].at - started), 1e-5) << i;
  }
  EXPECT_LT(renders.back().time, 3.0f);
  EXPECT_NEAR(m.recorder.Now() - started, 2.0, 0.05);
}

TEST(PlaybackClock, MusicCutsAnEntryAndTheNextStartsAtItsFirstFrame) {
  Demo demo{{0.0f, 10.0f, 25, 0.0f}, {5.0f, 8.0f, 30, 2.0f}};
  Machine m(demo.script);
  m.playback.StartPlayback();
  m.PlayToEnd();
  const auto& shots = m.recorder.shots;
  std::size_t cut = 0;
  for (std::size_t i = 1; i < shots.size(); ++i) {
    if (shots[i].activation) cut = i;
  }
  ASSERT_GT(cut, 0u);
  EXPECT_EQ(shots[cut].scene, demo.scene(1));
  // The cut comes at the first pass after the music passed 2 s, well before
  // the first scene's LastFrame.
  EXPECT_EQ(shots[cut - 1].scene, demo.scene(0));
  EXPECT_LE(shots[cut - 1].time, 2.0f);
  EXPECT_GT(shots[cut].at, 2.0);
  EXPECT_LT(shots[cut].at, 2.0 + 0.041);
  // Drawn in that same pass, from the new scene's FirstFrame.
  EXPECT_FALSE(shots[cut + 1].activation);
  EXPECT_EQ(shots[cut + 1].scene, demo.scene(1));
  EXPECT_FLOAT_EQ(shots[cut + 1].time, 5.0f);
  EXPECT_GE(shots[cut + 2].time - shots[cut + 1].time, 1.0f / 30.0f);
  // The second scene then plays to its LastFrame: three seconds.
  EXPECT_NEAR(m.recorder.Now() - shots[cut].at, 3.0, 0.05);
}

TEST(PlaybackClock, LastFrameStartsTheNextEntryAtOnceWithNothingDrawnInThatPass) {
  Demo demo{{0.0f, 1.0f, 25, 0.0f}, {2.0f, 2.5f, 25, 30.0f}};
  Machine m(demo.script);
  m.playback.StartPlayback();
  std::size_t before = m.recorder.shots.size();
  bool switched = false;
  while (!switched) {
    ASSERT_TRUE(m.playback.AdvanceFrame());
    const std::size_t after = m.recorder.shots.size();
    ASSERT_EQ(after, before + 1);  // one thing per pass: a frame or a switch
    switched = m.recorder.shots.back().activation;
    before = after;
  }
  const Shot activation = m.recorder.shots.back();
  EXPECT_EQ(activation.scene, demo.scene(1));
  EXPECT_NEAR(activation.at, 1.0, 0.045);  // the music is far from 30 s
  EXPECT_EQ(m.playback.currentIndex(), 1);
  // The switching pass still paced a frame: the first picture is one frame in.
  ASSERT_TRUE(m.playback.AdvanceFrame());
  EXPECT_NEAR(m.recorder.shots.back().time, 2.04f, 1e-4);
  EXPECT_NEAR(m.recorder.shots.back().at - activation.at, 0.04, 1e-6);
  m.PlayToEnd();
  EXPECT_NEAR(m.recorder.Now() - activation.at, 0.5, 0.045);
  EXPECT_FALSE(m.music.running());
}

TEST(PlaybackClock, PassesSkippedWhileMinimisedCatchUpOneEntryPerPass) {
  Demo demo{{0.0f, 100.0f, 25, 0.0f}, {0.0f, 100.0f, 25, 1.0f}, {0.0f, 100.0f, 25, 2.0f}, {0.0f, 100.0f, 25, 3.0f}};
  Machine m(demo.script);
  m.playback.StartPlayback();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(m.playback.AdvanceFrame());
  const float lastTime = m.recorder.shots.back().time;

  // Minimised for half a second: no passes, but the counter runs on.
  m.clock.AdvanceSeconds(0.5);
  ASSERT_TRUE(m.playback.AdvanceFrame());
  EXPECT_EQ(m.playback.currentIndex(), 0);
  EXPECT_NEAR(m.recorder.shots.back().time - lastTime, 0.54, 1e-4);

  // Minimised past three entry starts: each pass moves on by one entry.
  m.clock.AdvanceSeconds(3.0);
  for (int expected = 1; expected <= 3; ++expected) {
    const std::size_t before = m.recorder.shots.size();
    ASSERT_TRUE(m.playback.AdvanceFrame());
    EXPECT_EQ(m.playback.currentIndex(), expected);
    ASSERT_EQ(m.recorder.shots.size(), before + 2);  // switched, then drew
    EXPECT_TRUE(m.recorder.shots[before].activation);
    EXPECT_EQ(m.recorder.shots[before].scene, demo.scene(expected));
    EXPECT_FLOAT_EQ(m.recorder.shots[before + 1].time, 0.0f);
  }
  ASSERT_TRUE(m.playback.AdvanceFrame());
  EXPECT_EQ(m.playback.currentIndex(), 3);
}

TEST(PlaybackClock, FirstEntrySeeksTheMusicOnlyAboveATenthOfAMillisecond) {
  for (const float start : {0.0f, 0.0001f}) {
    Demo demo{{0.0f, 1.0f, 25, start}};
    Machine m(demo.script);
    m.playback.StartPlayback();
    EXPECT_EQ(m.music.seekCount(), 0) << start;
    // Unsought music starts at 0; music time is counted from the entry.
    EXPECT_NEAR(m.playback.MusicTime(), start + 0.001, 1e-6) << start;
  }
  Demo demo{{0.0f, 1.0f, 25, 65.25f}, {0.0f, 1.0f, 25, 66.0f}};
  Machine m(demo.script);
  m.playback.StartPlayback();
  ASSERT_EQ(m.music.seekCount(), 1);
  EXPECT_EQ(m.music.lastSeek(), 652500000);
  EXPECT_NEAR(m.playback.MusicTime(), 65.251f, 1e-4);
  // The second entry comes with the music, not the first scene's end.
  m.PlayToEnd();
  EXPECT_EQ(m.recorder.shots.back().scene, demo.scene(1));
  EXPECT_NEAR(m.recorder.Now(), 0.75 + 1.0, 0.05);
}

// Music that never moves until it is told to fall back to silence, and
// perhaps not even then.
struct StuckMusic final : MusicPlayer {
  StuckMusic(Clock& clock, bool recovers) : silent(clock), recovers(recovers) {}
  void Seek(int64_t p) override { silent.Seek(p); }
  void Run() override {}
  int64_t Position() override { return silent.Position(); }
  void Pause() override { silent.Pause(); }
  void Release() override {}
  void FallBackToSilence(const std::string& why) override {
    reasons.push_back(why);
    if (recovers) silent.Run();
  }
  SilentMusic silent;
  bool recovers;
  std::vector<std::string> reasons;
};

TEST(PlaybackClock, MusicThatDoesNotStartIsGivenUpAfterTwoSeconds) {
  for (const bool recovers : {true, false}) {
    Demo demo{{0.0f, 1.0f, 25, 3.0f}, {0.0f, 1.0f, 25, 3.5f}};
    VirtualClock clock;
    StuckMusic music(clock, recovers);
    Recorder recorder(clock);
    PlaybackClock playback(demo.script, clock, music, recorder);
    playback.StartPlayback();
    ASSERT_EQ(music.reasons.size(), 1u);
    EXPECT_EQ(music.reasons[0], "the position did not move within 2 s of starting");
    // Silent music takes over from where the music was sought; had it not,
    // the picture starts anyway after another two seconds.
    EXPECT_NEAR(recorder.Now(), recovers ? 2.001 : 4.0, 0.0011);
    EXPECT_FLOAT_EQ(playback.frameTime(), 0.0f);
    int passes = 0;
    while (playback.AdvanceFrame()) ++passes;
    EXPECT_GT(passes, 10);
    if (recovers) {
      // The cut by the music still comes half a second in.
      EXPECT_EQ(recorder.shots.back().scene, demo.scene(1));
      EXPECT_NEAR(recorder.Now(), 2.0 + 0.5 + 1.0, 0.05);
    } else {
      EXPECT_NEAR(recorder.Now(), 4.0 + 2.0, 0.1);  // both scenes end by LastFrame
    }
  }
}

// Entry 0 is cut by the music at 4 s; entry 1 ends at its LastFrame about
// 5 s; entry 2 is cut at 20 s by entry 3.
Demo StartDemo() {
  return Demo{{0.0f, 10.0f, 25, 0.0f}, {2.0f, 3.0f, 25, 4.0f}, {0.0f, 100.0f, 30, 20.0f}, {1.0f, 2.0f, 25, 20.0f}};
}

TEST(PlaybackClock, StartAtAMusicTimeMatchesPlayingThereFromTheBeginning) {
  Demo demo = StartDemo();
  // The whole demo on the ideal machine, for reference.
  Machine whole(demo.script);
  whole.playback.StartPlayback();
  whole.PlayToEnd();
  const double end = whole.recorder.Now();

  struct Case { double start; int entry; float sceneTime; };
  for (const Case& c : {Case{2.5, 0, 2.5f}, Case{4.5, 1, 2.5f}, Case{7.0, 2, 2.0f}, Case{0.0, 0, 0.0f}}) {
    SCOPED_TRACE(c.start);
    const PlaybackPosition at = FindPlaybackPosition(demo.script, c.start);
    ASSERT_FALSE(at.ended);
    EXPECT_EQ(at.entry, c.entry);
    // Within one frame of pacing and the millisecond the music takes to move.
    EXPECT_NEAR(at.sceneTime, c.sceneTime, 0.045);
    if (c.start > 0.0) {
      EXPECT_FLOAT_EQ(at.musicTime, static_cast<float>(c.start));
      EXPECT_NEAR(static_cast<double>(at.musicPosition), c.start * 1e7, 2e4);
    }

    // The rest of the demo from there matches the reference: the same
    // entries at the same music times, ending at the same time.
    Machine rest(demo.script);
    rest.playback.StartPlayback(at);
    if (at.musicPosition > 1000) {
      EXPECT_EQ(rest.music.lastSeek(), at.musicPosition);
    }
    ASSERT_EQ(rest.recorder.shots.size(), 1u);
    EXPECT_EQ(rest.recorder.shots[0].scene, demo.scene(c.entry));
    rest.PlayToEnd();
    const double shift = c.start - 0.001;  // rest's time 0 is the reference's c.start
    for (const Shot& shot : rest.recorder.shots) {
      if (!shot.activation || shot.at < 0.01) continue;
      bool found = false;
      for (const Shot& ref : whole.recorder.shots) {
        if (ref.activation && ref.scene == shot.scene && std::abs(ref.at - (shot.at + shift)) < 0.045) found = true;
      }
      EXPECT_TRUE(found) << "switch at " << shot.at;
    }
    EXPECT_NEAR(rest.recorder.Now() + shift, end, 0.05);
  }

  // Past the end: nothing left to play.
  const PlaybackPosition after = FindPlaybackPosition(demo.script, end + 5.0);
  EXPECT_TRUE(after.ended);
  Machine rest(demo.script);
  rest.playback.StartPlayback(after);
  EXPECT_FALSE(rest.playback.AdvanceFrame());
}

}  // namespace
}  // namespace stagwerk

namespace stagwerk {
namespace {

// A seek under a blurred camera draws the frames still visible in the trail
// (a blur length of 0.5 keeps 1/1000 after 10 frames) on the scene's frame
// grid, then plays on from the landing time; without blur, nothing before.
TEST(PlaybackClock, ASeekRedrawsTheTrailABlurredCameraStillShows) {
  Demo demo{{0.0f, 20.0f, 25, 0.0f}};
  Camera& camera = *demo.scenes[0]->cameras.head();
  camera.blurLength = std::make_unique<ScalarOrEnvelope>();
  camera.blurLength->value = 0.5f;
  Machine m(demo.script);
  m.playback.StartPlayback();
  m.recorder.shots.clear();
  const PlaybackPosition at = FindPlaybackPosition(demo.script, 7.0);
  m.playback.SeekTo(at, true);
  std::vector<Shot> trail = m.recorder.Renders();
  // Ten frames back, the grid's rounding may add the one before.
  ASSERT_GE(trail.size(), 10u);
  ASSERT_LE(trail.size(), 11u);
  EXPECT_NEAR(trail.back().time, 6.96, 1e-4);
  for (std::size_t i = 1; i < trail.size(); ++i) EXPECT_NEAR(trail[i].time - trail[i - 1].time, 0.04, 1e-4) << i;
  m.playback.AdvanceFrame();
  EXPECT_FLOAT_EQ(m.recorder.Renders().back().time, at.sceneTime);

  camera.blurLength.reset();
  m.recorder.shots.clear();
  m.playback.SeekTo(FindPlaybackPosition(demo.script, 3.0), true);
  EXPECT_TRUE(m.recorder.Renders().empty());
}

}  // namespace
}  // namespace stagwerk
