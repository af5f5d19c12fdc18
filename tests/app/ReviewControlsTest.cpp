// The review keys' logic on the controls themselves, on a virtual machine:
// frame steps on the scene's grid, markers kept in their file and gone to,
// and holding the end.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "TempDir.h"
#include "app/playback/Markers.h"
#include "app/playback/PacedMusic.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "app/playback/ScaledClock.h"
#include "platform/Clock.h"
#include "platform/MusicPlayer.h"
#include "scene/Camera.h"
#include "scene/Scene.h"
#include "script/DemoScript.h"

namespace stagwerk {
namespace {

// Two entries: 10 fps from music time 0, cut at 2 s by one at 25 fps of 1 s.
struct Review : ::testing::Test {
  Review() {
    Add(0, 10, 10, 0);
    Add(0, 1, 25, 2);
    playback.StartPlayback();
    controls = std::make_unique<PlaybackControls>(script, playback, counter, music);
  }
  void Add(float start, float end, uint32_t fps, float musicStart) {
    auto scene = std::make_unique<Scene>();
    scene->framesPerSecond = fps;
    scene->frameDuration = 1.0f / static_cast<float>(fps);
    scene->cameras.Append(std::make_unique<Camera>());
    auto entry = std::make_unique<ScriptEntry>();
    entry->scene = scene.get();
    entry->camera = scene->cameras.head();
    entry->musicStart = musicStart;
    entry->sceneStart = scene->sceneStart = start;
    entry->sceneEnd = scene->sceneEnd = end;
    scenes.push_back(std::move(scene));
    script.entries.Append(std::move(entry));
  }
  void Press(PlaybackCommand command) { controls->Apply(command); }
  double Music() { return playback.MusicTime(); }

  std::vector<std::unique_ptr<Scene>> scenes;
  DemoScript script;
  VirtualClock real;
  SilentMusic silence{real};
  ScaledClock counter{real};
  PacedMusic music{silence, counter};
  NullFrameTarget nothing;
  PlaybackClock playback{script, counter, music, nothing};
  std::unique_ptr<PlaybackControls> controls;
  testing::TempDir dir;
};

TEST_F(Review, FrameStepsLandOnTheCurrentScenesGridAndOnlyWhilePaused) {
  Press(PlaybackCommand::TogglePause);
  controls->SeekToMusicTime(0.55);  // between frames 5 and 6
  Press(PlaybackCommand::StepForward);
  EXPECT_NEAR(playback.SceneTime(), 0.6, 1e-5);
  Press(PlaybackCommand::StepBack);
  EXPECT_NEAR(playback.SceneTime(), 0.5, 1e-5);
  Press(PlaybackCommand::StepBack);
  EXPECT_NEAR(playback.SceneTime(), 0.4, 1e-5);
  // The second entry steps by its own 1/25 s.
  controls->SeekToMusicTime(2.51);
  ASSERT_EQ(playback.currentIndex(), 1);
  for (int i = 0; i < 3; ++i) {
    const double before = playback.SceneTime();
    Press(PlaybackCommand::StepForward);
    const double frames = playback.SceneTime() * 25.0;
    EXPECT_NEAR(frames, std::round(frames), 1e-3);
    EXPECT_GT(playback.SceneTime() - before, 1e-3);
    EXPECT_LE(playback.SceneTime() - before, 0.04 + 1e-5);
  }
  // Back over the cut: into the first entry, a tenth of a second before.
  controls->SeekToMusicTime(2.05);
  const double cut = Music();
  for (int i = 0; i < 3 && playback.currentIndex() == 1; ++i) Press(PlaybackCommand::StepBack);
  EXPECT_EQ(playback.currentIndex(), 0);
  EXPECT_LT(Music(), cut);
  EXPECT_GT(Music(), cut - 0.2);
  Press(PlaybackCommand::TogglePause);
  const double playing = Music();
  Press(PlaybackCommand::StepForward);
  Press(PlaybackCommand::StepBack);
  EXPECT_NEAR(Music(), playing, 1e-6);
}

TEST_F(Review, MarkersAreSetRemovedSavedAndGoneTo) {
  const std::string file = dir / "markers.txt";
  EXPECT_TRUE(controls->UseMarkersFile(file).empty());  // none yet is no markers
  Press(PlaybackCommand::TogglePause);
  for (double t : {1.5, 0.5, 2.5}) {
    controls->SeekToMusicTime(t);
    Press(PlaybackCommand::ToggleMarker);
  }
  // Within half a frame (1/20 s at 10 fps) of one, M removes it.
  controls->SeekToMusicTime(1.54);
  Press(PlaybackCommand::ToggleMarker);
  EXPECT_EQ(controls->markers().times(), (std::vector<double>{0.5, 2.5}));
  EXPECT_EQ(testing::ReadFile(file), "0.500000\n2.500000\n");
  EXPECT_FALSE(std::filesystem::exists(file + ".new"));
  EXPECT_TRUE(controls->TakeMessage().empty());

  controls->SeekToMusicTime(1.0);
  Press(PlaybackCommand::NextMarker);
  EXPECT_NEAR(Music(), 2.5, 1e-5);
  Press(PlaybackCommand::NextMarker);  // none after: stays
  EXPECT_NEAR(Music(), 2.5, 1e-5);
  Press(PlaybackCommand::PreviousMarker);  // at a marker: the one before it
  EXPECT_NEAR(Music(), 0.5, 1e-5);
  Press(PlaybackCommand::PreviousMarker);
  EXPECT_NEAR(Music(), 0.5, 1e-5);

  // Read back in order, broken lines named and skipped.
  dir.Write("markers.txt", "2.25\n\n 1 \nsoon\n1.5s\n-3\n");
  const std::vector<std::string> said = controls->UseMarkersFile(file);
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0].rfind(file + ":4: ", 0), 0u) << said[0];
  EXPECT_EQ(said[1].rfind(file + ":5: ", 0), 0u) << said[1];
  EXPECT_EQ(said[2].rfind(file + ":6: ", 0), 0u) << said[2];
  EXPECT_EQ(controls->markers().times(), (std::vector<double>{1.0, 2.25}));

  // A file that cannot be written says so and keeps the marker for the run.
  controls->UseMarkersFile((dir.path() / "gone" / "markers.txt").string());
  Press(PlaybackCommand::ToggleMarker);
  EXPECT_NE(controls->TakeMessage().find("gone/markers.txt"), std::string::npos);
  EXPECT_EQ(controls->markers().times().size(), 1u);
}

TEST_F(Review, HoldingTheEndStaysPausedOnTheLastPicture) {
  int passes = 0;
  while (playback.AdvanceFrame() && ++passes < 1000) {
  }
  ASSERT_LT(passes, 1000);
  controls->HoldAtEnd();
  EXPECT_TRUE(controls->paused());
  EXPECT_EQ(playback.currentIndex(), 1);
  ASSERT_TRUE(controls->demoEnd());
  EXPECT_NEAR(Music(), *controls->demoEnd() - 0.001, 1e-5);
  EXPECT_LT(playback.SceneTime(), 1.0f);
  // Held, it can be stepped back from.
  Press(PlaybackCommand::StepBack);
  EXPECT_LT(Music(), *controls->demoEnd() - 0.01);
}

}  // namespace
}  // namespace stagwerk
