// The author's keys as SDL events into the real player loop, on a virtual
// clock: a held picture and music, seeks and entry skips that land where a
// whole playback would be, speed and loop.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <vector>

#include "SceneFixtures.h"
#include "TinyDemo.h"
#include "app/playback/Markers.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "app/modes/Player.h"
#include "frame/Overlay.h"
#include "frame/Renderer.h"
#include "gl/FixedFunctionRenderer.h"
#include "platform/Clock.h"

namespace stagwerk {
namespace {

void PushKey(SDL_Scancode code, Uint16 mod = KMOD_NONE) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.scancode = code;
  event.key.keysym.mod = mod;
  SDL_PushEvent(&event);
}

// One step of a session: when `ready` says so, `act` checks and presses.
struct Step {
  std::function<bool(PlayerPass&)> ready;
  std::function<void(PlayerPass&)> act;
};

class PlayerKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    demo_.AddScene("red", 100, 10, 1, 0, 0);   // cut by the music at 5 s
    demo_.AddScene("green", 100, 10, 0, 1, 0);  // cut at 8 s
    demo_.AddScene("blue", 60, 10, 0, 0, 1);    // ends the demo at 14 s
    demo_.SetScript("red 1 00:00:00:000\ngreen 1 00:00:05:000\nblue 1 00:00:08:000\n");
  }

  // Plays through the steps, then presses Escape; the exit status.
  int Play(std::vector<Step> steps) {
    PlayerOptions options;
    options.configPath = demo_.config();
    options.settingsPath = demo_.dir / "settings.conf";
    options.clock = &clock_;
    options.watch = watch_;
    options.hold = hold_;
    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    options.onPass = [&](PlayerPass& pass) {
      if (next < steps.size() && std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "step " << next << " never came";
        next = steps.size();
      }
      if (next < steps.size() && steps[next].ready(pass)) steps[next++].act(pass);
      before_ = pass.playback.MusicTime();
      if (next == steps.size()) {
        PushKey(SDL_SCANCODE_ESCAPE);
        ++next;
      }
    };
    testing::InDirectory here(demo_.dir.path());
    const int status = RunPlayer(options);
    EXPECT_EQ(next, steps.size() + 1) << "steps left undone";
    return status;
  }
  double Seconds() { return static_cast<double>(clock_.Now()) / static_cast<double>(clock_.Frequency()); }

  testing::TinyDemo demo_{320, 240};
  VirtualClock clock_;
  float before_ = 0;  // the music time as the pass before ended
  bool watch_ = false;
  bool hold_ = false;
};

auto At(double musicTime) {
  return [musicTime](PlayerPass& pass) { return pass.playback.MusicTime() >= musicTime; };
}
// The key pressed last has been taken.
bool Now(PlayerPass& pass) { return pass.handledEvent; }

// Where a whole playback would be at that music time.
void ExpectLandedAt(PlayerPass& pass, double musicTime) {
  const PlaybackPosition want = FindPlaybackPosition(pass.script, musicTime);
  EXPECT_EQ(pass.playback.currentIndex(), want.entry) << musicTime;
  EXPECT_NEAR(pass.playback.SceneTime(), want.sceneTime, 1e-4) << musicTime;
  // The music is waited for as at the start: one poll of 1 ms.
  EXPECT_NEAR(pass.playback.MusicTime(), musicTime, 1.1e-3) << musicTime;
}

TEST_F(PlayerKeysTest, SeeksAndEntrySkipsLandWhereAWholePlaybackWouldBe) {
  const auto press = [](SDL_Scancode code, Uint16 mod = KMOD_NONE) {
    return [code, mod](PlayerPass&) { PushKey(code, mod); };
  };
  // A key seeks from where the pass before it left the music.
  const auto landed = [this](double by, SDL_Scancode next, Uint16 mod = KMOD_NONE) {
    return [this, by, next, mod](PlayerPass& pass) {
      ExpectLandedAt(pass, before_ + by);
      PushKey(next, mod);
    };
  };
  const auto atEntry = [](int32_t entry, SDL_Scancode next) {
    return [entry, next](PlayerPass& pass) {
      const PlaybackPosition start = FindEntryStarts(pass.script).at(static_cast<std::size_t>(entry));
      EXPECT_EQ(pass.playback.currentIndex(), entry);
      EXPECT_FLOAT_EQ(pass.playback.SceneTime(), start.sceneTime);
      EXPECT_NEAR(pass.playback.MusicTime(), start.musicTime, 1.1e-3);
      PushKey(next);
    };
  };
  const int status = Play({
      {At(1.0), press(SDL_SCANCODE_RIGHT)},
      {Now, landed(1.0, SDL_SCANCODE_RIGHT, KMOD_LSHIFT)},
      {Now, landed(10.0, SDL_SCANCODE_LEFT, KMOD_LSHIFT)},
      {Now, landed(-10.0, SDL_SCANCODE_LEFT)},
      {Now, landed(-1.0, SDL_SCANCODE_PAGEDOWN)},
      {Now, atEntry(1, SDL_SCANCODE_PAGEDOWN)},
      {Now, atEntry(2, SDL_SCANCODE_PAGEUP)},
      {Now, atEntry(1, SDL_SCANCODE_HOME)},
      {Now, atEntry(0, SDL_SCANCODE_PAGEUP)},
      {Now, atEntry(0, SDL_SCANCODE_END)},
      // Past the end, a seek stops on the last picture instead of ending.
      {At(0.5), press(SDL_SCANCODE_RIGHT, KMOD_LSHIFT)},
      {Now, press(SDL_SCANCODE_RIGHT, KMOD_LSHIFT)},
      {Now, [](PlayerPass& pass) {
         ASSERT_TRUE(pass.controls.demoEnd());
         EXPECT_NEAR(*pass.controls.demoEnd(), 14.0, 0.15);
         ExpectLandedAt(pass, *pass.controls.demoEnd() - 0.001);
       }},
  });
  EXPECT_EQ(status, 0);
}

TEST_F(PlayerKeysTest, PauseHoldsMusicAndPictureAndSpeedScalesTheAdvance) {
  float music = 0, scene = 0;
  double clockAt = 0;
  std::vector<unsigned char> picture;
  int held = 0;
  const auto mark = [&](PlayerPass& pass) {
    music = pass.playback.MusicTime();
    scene = pass.playback.SceneTime();
    clockAt = Seconds();
  };
  const auto rate = [&](PlayerPass& pass) {
    return (pass.playback.MusicTime() - music) / (Seconds() - clockAt);
  };
  const int status = Play({
      {At(1.0), [&](PlayerPass&) { PushKey(SDL_SCANCODE_SPACE); }},
      {Now, [&](PlayerPass& pass) {
         EXPECT_TRUE(pass.controls.paused());
         mark(pass);
         picture = pass.renderer.ReadPicture();
       }},
      // Time goes by while held: neither the music nor the scene moves.
      {[&](PlayerPass& pass) {
         clock_.AdvanceSeconds(0.5);
         EXPECT_FLOAT_EQ(pass.playback.MusicTime(), music);
         EXPECT_FLOAT_EQ(pass.playback.SceneTime(), scene);
         return ++held == 4;
       },
       [&](PlayerPass& pass) {
         EXPECT_EQ(pass.renderer.ReadPicture(), picture);
         PushKey(SDL_SCANCODE_SPACE);
       }},
      // Resumed, both go on from where they were, together.
      {At(2.0), [&](PlayerPass& pass) {
         EXPECT_FALSE(pass.controls.paused());
         EXPECT_NEAR(pass.playback.MusicTime() - music, pass.playback.SceneTime() - scene, 1e-3);
         PushKey(SDL_SCANCODE_RIGHTBRACKET);
       }},
      {Now, mark},
      {[&](PlayerPass&) { return Seconds() - clockAt >= 1.0; },
       [&](PlayerPass& pass) {
         EXPECT_DOUBLE_EQ(pass.controls.speed(), 2.0);
         EXPECT_NEAR(rate(pass), 2.0, 0.1);
         EXPECT_NEAR(pass.playback.SceneTime() - scene, pass.playback.MusicTime() - music, 1e-3);
         PushKey(SDL_SCANCODE_BACKSPACE);
       }},
      {Now, mark},
      {[&](PlayerPass&) { return Seconds() - clockAt >= 1.0; },
       [&](PlayerPass& pass) {
         EXPECT_DOUBLE_EQ(pass.controls.speed(), 1.0);
         EXPECT_NEAR(rate(pass), 1.0, 0.1);
         for (int i = 0; i < 5; ++i) PushKey(SDL_SCANCODE_LEFTBRACKET);
       }},
      {[&](PlayerPass& pass) { return pass.controls.speed() <= kSlowest; }, mark},
      {[&](PlayerPass&) { return Seconds() - clockAt >= 2.0; },
       [&](PlayerPass& pass) { EXPECT_NEAR(rate(pass), 0.125, 0.06); }},
  });
  EXPECT_EQ(status, 0);
}

TEST_F(PlayerKeysTest, ALoopHoldsItsSectionUntilCleared) {
  int wraps = 0;
  float last = 0;
  const int status = Play({
      {At(1.0), [](PlayerPass&) { PushKey(SDL_SCANCODE_L); }},
      {At(2.0), [](PlayerPass&) { PushKey(SDL_SCANCODE_L); }},
      {[&](PlayerPass& pass) {
         const float now = pass.playback.MusicTime();
         EXPECT_GE(now, 0.99f);
         EXPECT_LT(now, 2.15f);
         if (now < last) ++wraps;
         last = now;
         return wraps == 3;
       },
       [](PlayerPass& pass) {
         EXPECT_NEAR(*pass.controls.loopIn(), 1.0, 0.11);
         EXPECT_NEAR(*pass.controls.loopOut(), 2.0, 0.11);
         PushKey(SDL_SCANCODE_L);
       }},
      {At(3.0), [](PlayerPass& pass) { EXPECT_FALSE(pass.controls.loopIn()); }},
  });
  EXPECT_EQ(status, 0);
}

// Pixels of the window and of the picture that differ, in a rectangle.
int Differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int x0, int y0, int x1,
              int y1) {
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const std::size_t i = 3 * (static_cast<std::size_t>(y) * 320 + static_cast<std::size_t>(x));
      count += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    }
  }
  return count;
}

TEST_F(PlayerKeysTest, TheOverlayIsInTheWindowAndNeverInThePicture) {
  const auto window = [](PlayerPass& pass) { return pass.renderer.ReadWindow(); };
  const auto drawn = [](PlayerPass& pass) { return !pass.handledEvent; };
  const int status = Play({
      {At(1.0), [](PlayerPass&) { PushKey(SDL_SCANCODE_TAB); }},
      {drawn, [&](PlayerPass& pass) {
         ASSERT_TRUE(pass.overlay);
         const std::vector<unsigned char> shown = window(pass);
         const std::vector<unsigned char> picture = pass.renderer.ReadPicture();
         // Text top left, the seek bar along the bottom, the rest untouched.
         EXPECT_GT(Differing(shown, picture, 0, 0, 160, 40), 2000);
         EXPECT_EQ(Differing(shown, picture, 0, 240 - kSeekBarHeight, 320, 240), 320 * kSeekBarHeight);
         EXPECT_EQ(Differing(shown, picture, 280, 100, 320, 200), 0);
         // White text on the dark panel.
         int white = 0;
         for (std::size_t i = 0; i + 2 < 3 * 320 * 40; i += 3) white += shown[i] == 255 && shown[i + 1] == 255 && shown[i + 2] == 255;
         EXPECT_GT(white, 200);
         PushKey(SDL_SCANCODE_TAB);
       }},
      {drawn, [&](PlayerPass& pass) {
         EXPECT_FALSE(pass.overlay);
         EXPECT_EQ(Differing(window(pass), pass.renderer.ReadPicture(), 0, 0, 320, 240), 0);
       }},
  });
  EXPECT_EQ(status, 0);
}

TEST_F(PlayerKeysTest, WatchedFilesReloadInPlaceAndABrokenOneKeepsTheOld) {
  watch_ = true;
  float held = 0;
  // The backdrop beside the square.
  const auto backdrop = [](PlayerPass& pass) {
    const std::vector<unsigned char> rgb = pass.renderer.ReadPicture();
    const std::size_t i = 3 * (120 * 320 + 10);
    return std::vector<unsigned char>(rgb.begin() + static_cast<long>(i), rgb.begin() + static_cast<long>(i) + 3);
  };
  const int status = Play({
      {At(1.0), [](PlayerPass&) { PushKey(SDL_SCANCODE_SPACE); }},
      {Now, [&](PlayerPass& pass) {
         held = pass.playback.MusicTime();
         EXPECT_EQ(backdrop(pass), (std::vector<unsigned char>{255, 0, 0}));
         demo_.AddScene("red", 100, 10, 1, 1, 0);  // saved in place, now yellow
       }},
      {[](PlayerPass& pass) { return pass.reloads == 1; },
       [&](PlayerPass& pass) {
         EXPECT_EQ(backdrop(pass), (std::vector<unsigned char>{255, 255, 0}));
         EXPECT_TRUE(pass.controls.paused());
         EXPECT_NEAR(pass.playback.MusicTime(), held, 1e-4);
         // Saved the way many editors do: a new file renamed over the old.
         demo_.dir.Write("data/scenes/red.lws.new", "LWSC\n3\n\nFirstFrame x\n");
         std::filesystem::rename(demo_.dir / "data/scenes/red.lws.new", demo_.dir / "data/scenes/red.lws");
       }},
      {[](PlayerPass& pass) { return pass.message.find("failed") != std::string::npos; },
       [&](PlayerPass& pass) {
         EXPECT_EQ(pass.reloads, 1);
         EXPECT_EQ(backdrop(pass), (std::vector<unsigned char>{255, 255, 0}));
         EXPECT_NE(pass.message.find("scenes/red.lws failed"), std::string::npos) << pass.message;
         PushKey(SDL_SCANCODE_SPACE);
       }},
      {At(1.5), [](PlayerPass& pass) { EXPECT_EQ(pass.playback.currentIndex(), 0); }},
  });
  EXPECT_EQ(status, 0);
}

TEST_F(PlayerKeysTest, WatchedTextureAndMeshRewritesShowAndBrokenOnesKeepTheOld) {
  watch_ = true;
  demo_.dir.Write("data/pictures/back.tga", testing::SolidTga(4, 4, {0, 0, 255}));  // red
  demo_.AddScene("red", 100, 10, 0, 0, 0, "BGImage 1 0 0 0 \"pictures/back.tga\"\n");
  // Written as editors do it: a new file renamed over the old.
  const auto replace = [&](const std::string& path, const std::string& bytes) {
    demo_.dir.Write(path + ".new", bytes);
    std::filesystem::rename(demo_.dir / (path + ".new"), demo_.dir / path);
  };
  // The picture keeps its square shape: (160, 5) is its top middle.
  const auto pixel = [](PlayerPass& pass, int x, int y) {
    const std::vector<unsigned char> rgb = pass.renderer.ReadPicture();
    const std::size_t i = 3 * (static_cast<std::size_t>(y) * 320 + static_cast<std::size_t>(x));
    return std::vector<int>{rgb[i], rgb[i + 1], rgb[i + 2]};
  };
  const auto reloads = [](int n) { return [n](PlayerPass& pass) { return pass.reloads == n; }; };
  const auto says = [](const std::string& text) {
    return [text](PlayerPass& pass) { return pass.message.find(text) != std::string::npos; };
  };
  const std::string mesh = "data/Objects/Square.kq7";
  const std::string good = testing::ReadFile(demo_.dir / mesh);
  Kq7Description wide;
  wide.flags = HasPolygons;
  wide.positions = {{-5, -5, 5}, {-5, 5, 5}, {5, 5, 5}, {5, -5, 5}};
  wide.polygons = {{0, 1, 2, 3}};
  float at = 0;
  // Held while files are saved: the virtual clock would otherwise play the
  // demo out between two saves.
  const int status = Play({
      {At(1.0), [](PlayerPass&) { PushKey(SDL_SCANCODE_SPACE); }},
      {Now, [&](PlayerPass& pass) {
         EXPECT_EQ(pixel(pass, 160, 5), (std::vector<int>{255, 0, 0}));
         at = pass.playback.MusicTime();
         demo_.dir.Write("data/pictures/back.tga", testing::SolidTga(4, 4, {255, 0, 0}));  // in place: blue
       }},
      {reloads(1), [&](PlayerPass& pass) {
         // The held frame is drawn again with the new picture, at the same music time.
         EXPECT_EQ(pixel(pass, 160, 5), (std::vector<int>{0, 0, 255}));
         EXPECT_TRUE(pass.controls.paused());
         EXPECT_NEAR(pass.playback.MusicTime(), at, 1e-4);
         replace("data/pictures/back.tga", "not a picture");
       }},
      {reloads(2), [&](PlayerPass& pass) {
         // The broken picture keeps the old one and says so; the rest reloaded.
         EXPECT_EQ(pixel(pass, 160, 5), (std::vector<int>{0, 0, 255}));
         EXPECT_NE(pass.message.find("pictures/back.tga"), std::string::npos) << pass.message;
         EXPECT_NE(pass.message.find("still showing the old picture"), std::string::npos) << pass.message;
         WriteKq7File(demo_.dir / "wide.kq7", wide);
         replace(mesh, testing::ReadFile(demo_.dir / "wide.kq7"));
       }},
      {reloads(3), [&](PlayerPass& pass) {
         // The wide square covers the backdrop; the picture is still the old.
         EXPECT_NE(pixel(pass, 160, 5), (std::vector<int>{0, 0, 255}));
         EXPECT_NE(pass.message.find("still showing the old picture"), std::string::npos) << pass.message;
         demo_.dir.Write(mesh, good.substr(0, good.size() / 2));  // cut short in place
       }},
      {says("failed, still playing the old"), [&](PlayerPass& pass) {
         EXPECT_EQ(pass.reloads, 3);
         EXPECT_NE(pass.message.find("Square"), std::string::npos) << pass.message;
         EXPECT_NE(pixel(pass, 160, 5), (std::vector<int>{0, 0, 255}));
         demo_.dir.Write("data/pictures/back.tga", testing::SolidTga(4, 4, {0, 255, 0}));  // green
         replace(mesh, good);
       }},
      {reloads(4), [&](PlayerPass& pass) {
         EXPECT_EQ(pixel(pass, 160, 5), (std::vector<int>{0, 255, 0}));
         EXPECT_EQ(pass.message.find("still showing"), std::string::npos) << pass.message;
         PushKey(SDL_SCANCODE_SPACE);
       }},
      // Playing on, the frames drawn show what was saved last.
      {At(2.0), [&](PlayerPass& pass) {
         EXPECT_EQ(pass.playback.currentIndex(), 0);
         EXPECT_EQ(pixel(pass, 160, 5), (std::vector<int>{0, 255, 0}));
       }},
  });
  EXPECT_EQ(status, 0);
}

TEST_F(PlayerKeysTest, FrameStepsMarkersAndAHeldEnd) {
  hold_ = true;
  demo_.dir.Write("data/markers.txt", "oops\n");
  const std::string markers = demo_.dir / "data/markers.txt";
  const auto press = [](SDL_Scancode code, Uint16 mod = KMOD_NONE) {
    return [code, mod](PlayerPass&) { PushKey(code, mod); };
  };
  const auto music = [](PlayerPass& pass) { return static_cast<double>(pass.playback.MusicTime()); };
  double a = 0, b = 0;
  int heldPasses = 0;
  const int status = Play({
      {At(1.0), [](PlayerPass& pass) {
         EXPECT_NE(pass.message.find("markers.txt:1:"), std::string::npos) << pass.message;
         PushKey(SDL_SCANCODE_SPACE);
       }},
      {Now, press(SDL_SCANCODE_PERIOD)},
      {Now, [&](PlayerPass& pass) {
         const double frames = pass.playback.SceneTime() * 10.0;
         EXPECT_NEAR(frames, std::round(frames), 1e-3);
         a = music(pass);
         PushKey(SDL_SCANCODE_PERIOD);
       }},
      {Now, [&](PlayerPass& pass) {
         EXPECT_NEAR(music(pass) - a, 0.1, 1e-4);
         PushKey(SDL_SCANCODE_COMMA);
       }},
      {Now, [&](PlayerPass& pass) {
         EXPECT_NEAR(music(pass), a, 1e-4);
         PushKey(SDL_SCANCODE_M);
       }},
      {Now, press(SDL_SCANCODE_RIGHT, KMOD_LSHIFT)},
      {Now, press(SDL_SCANCODE_PERIOD)},
      {Now, [&](PlayerPass& pass) {
         b = music(pass);
         PushKey(SDL_SCANCODE_M);
       }},
      // Ctrl+Left from b is neither 1 s nor 10 s back.
      {Now, press(SDL_SCANCODE_LEFT, KMOD_LCTRL)},
      {Now, [&](PlayerPass& pass) {
         EXPECT_NEAR(music(pass), a, 1e-4);
         Markers saved;
         EXPECT_TRUE(saved.Load(markers).empty());
         ASSERT_EQ(saved.times().size(), 2u);
         EXPECT_NEAR(saved.times()[0], a, 1e-5);
         EXPECT_NEAR(saved.times()[1], b, 1e-5);
         PushKey(SDL_SCANCODE_RIGHT, KMOD_RCTRL);
       }},
      {Now, [&](PlayerPass& pass) {
         EXPECT_NEAR(music(pass), b, 1e-4);
         PushKey(SDL_SCANCODE_TAB);
       }},
      // The overlay's bar shows both markers in white.
      {[](PlayerPass& pass) { return !pass.handledEvent; },
       [&](PlayerPass& pass) {
         const std::vector<unsigned char> shown = pass.renderer.ReadWindow();
         ASSERT_TRUE(pass.controls.demoEnd());
         for (double t : {a, b}) {
           const int x = static_cast<int>(std::lround(t / *pass.controls.demoEnd() * 320));
           const std::size_t i = 3 * (static_cast<std::size_t>(240 - kSeekBarHeight / 2) * 320 + static_cast<std::size_t>(x));
           EXPECT_GT(shown[i] + shown[i + 1] + shown[i + 2], 3 * 220) << t;
         }
         PushKey(SDL_SCANCODE_SPACE);
       }},
      // Played out, the end holds instead of ending the run.
      {[&](PlayerPass& pass) { return pass.controls.paused() && ++heldPasses == 5; },
       [&](PlayerPass& pass) {
         EXPECT_NEAR(music(pass), *pass.controls.demoEnd() - 0.001, 1e-4);
         EXPECT_EQ(pass.playback.currentIndex(), 2);
       }},
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace stagwerk
