// The real player loop following a small editor in the test over TCP, on a
// virtual clock: keys it sends show in the next built frame, its SET_ROW
// seeks and PAUSE holds, rows come back while playing, K keys the camera,
// SAVE_TRACKS writes files, and garbage or a hang-up never stop the show.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "TinyDemo.h"
#include "sync/TestEditor.h"
#include "app/modes/Player.h"
#include "app/playback/PlaybackClock.h"
#include "app/playback/PlaybackControls.h"
#include "frame/Frame.h"
#include "platform/Clock.h"
#include "sync/RocketProtocol.h"
#include "sync/TrackFile.h"

namespace stagwerk {
namespace {

std::string GetTrack(const std::string& name) {
  std::string out;
  AppendGetTrack(out, name);
  return out;
}
std::string Key(uint32_t track, uint32_t row, float value, KeyShape shape = KeyShape::Step) {
  std::string out;
  AppendSetKey(out, track, {row, value, shape});
  return out;
}
std::string Row(uint32_t row) {
  std::string out;
  AppendSetRow(out, row);
  return out;
}

// The SET_ROW rows and SET_KEY commands the player sent after its requests.
struct Sent {
  std::vector<uint32_t> rows;
  std::vector<std::pair<uint32_t, SyncKey>> keys;
};
uint32_t Big(const std::string& s, std::size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}
Sent Parse(const std::string& bytes) {
  Sent sent;
  for (std::size_t at = 0; at < bytes.size();) {
    if (bytes[at] == 3 && at + 5 <= bytes.size()) {
      sent.rows.push_back(Big(bytes, at + 1));
      at += 5;
    } else if (bytes[at] == 0 && at + 14 <= bytes.size()) {
      sent.keys.push_back({Big(bytes, at + 1),
                           {Big(bytes, at + 5), FloatFromBits(Big(bytes, at + 9)), static_cast<KeyShape>(bytes[at + 13])}});
      at += 14;
    } else {
      ADD_FAILURE() << "unexpected byte " << int(bytes[at]) << " at " << at;
      break;
    }
  }
  return sent;
}

// The square's placement in the frame built last.
float SquareX(const PlayerPass& pass) {
  if (pass.frame == nullptr) return NAN;
  for (const Draw& draw : pass.frame->draws) {
    if (draw.mesh != nullptr) return draw.modelview[12];
  }
  return NAN;
}

struct Step {
  std::function<bool(PlayerPass&)> ready;
  std::function<void(PlayerPass&)> act;
};

class PlayerSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    demo_.AddScene("red", 3000, 10, 1, 0, 0);  // the virtual clock runs fast
    demo_.SetScript("red 1 00:00:00:000\n");
    demo_.dir.Write("data/sync.txt", "red:Objects/Square.lwo.x\nred:Camera.x\nred:Camera.h\n");
  }

  int Play(std::vector<Step> steps) {
    PlayerOptions options;
    options.configPath = demo_.config();
    options.settingsPath = demo_.dir / "settings.conf";
    options.clock = &clock_;
    options.sync = RocketAddress{"127.0.0.1", editor_.port()};
    options.hold = true;
    std::size_t next = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    options.onPass = [&](PlayerPass& pass) {
      editor_.Step();
      if (next < steps.size() && std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "step " << next << " never came; said: " << pass.message;
        next = steps.size();
      }
      if (next < steps.size() && steps[next].ready(pass)) steps[next++].act(pass);
      if (next == steps.size()) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
        SDL_PushEvent(&event);
        ++next;
      }
    };
    testing::InDirectory here(demo_.dir.path());
    const int status = RunPlayer(options);
    EXPECT_EQ(next, steps.size() + 1) << "steps left undone";
    return status;
  }

  testing::TinyDemo demo_{160, 120};
  VirtualClock clock_;
  TestEditor editor_;
};

TEST_F(PlayerSyncTest, FollowsTheEditorAndSurvivesItsFaults) {
  const std::string hello(kRocketClientGreeting);
  const std::string requests = GetTrack("red:Objects/Square.lwo.x") + GetTrack("red:Camera.x") + GetTrack("red:Camera.h");
  std::size_t sentFrom = 0;  // where the commands after the requests start
  int passes = 0;
  float heldAt = 0;
  std::chrono::steady_clock::time_point sentAt;
  const auto sent = [&] { return Parse(editor_.received.substr(sentFrom)); };
  const int status = Play({
      {[&](PlayerPass&) { return editor_.received == hello; }, [&](PlayerPass&) { editor_.Send("hello, demo!"); }},
      {[&](PlayerPass&) { return editor_.received.size() >= hello.size() + requests.size(); },
       [&](PlayerPass& pass) {
         EXPECT_EQ(editor_.received.substr(0, hello.size() + requests.size()), hello + requests);
         sentFrom = hello.size() + requests.size();
         EXPECT_EQ(SquareX(pass), 0.0f);
         editor_.Send(Key(0, 0, 3.0f));
         sentAt = std::chrono::steady_clock::now();
         passes = 0;
       }},
      // The key shows in the next frame built.
      {[&](PlayerPass& pass) { return ++passes > 2 || SquareX(pass) == 3.0f; },
       [&](PlayerPass& pass) {
         EXPECT_EQ(SquareX(pass), 3.0f) << "after " << passes << " passes";
         const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - sentAt;
         std::printf("SET_KEY to the built frame: %d pass(es), %.2f ms\n", passes, took.count());
       }},
      // Playing, the rows come back as the music passes them.
      {[](PlayerPass& pass) { return pass.playback.MusicTime() > 2.0f; },
       [&](PlayerPass& pass) {
         const Sent s = sent();
         ASSERT_GE(s.rows.size(), 10u);
         for (std::size_t i = 1; i < s.rows.size(); ++i) EXPECT_GT(s.rows[i], s.rows[i - 1]);
         // Sent after each frame, read by the editor a pass or two on.
         EXPECT_NEAR(s.rows.back(), std::floor(pass.playback.MusicTime() * 8), 2.0);
         editor_.Send(std::string{4, 1});  // PAUSE on
       }},
      {[](PlayerPass& pass) { return pass.controls.paused(); },
       [&](PlayerPass& pass) {
         heldAt = pass.playback.MusicTime();
         editor_.Send(Row(40));  // 5 s
         passes = 0;
       }},
      {[&](PlayerPass& pass) { return pass.playback.MusicTime() != heldAt || ++passes > 50; },
       [&](PlayerPass& pass) {
         EXPECT_NEAR(pass.playback.MusicTime(), 5.0, 1.1e-3);
         EXPECT_TRUE(pass.controls.paused());
         heldAt = pass.playback.MusicTime();
         // Held, an edit shows at once, and the hold stays.
         editor_.Send(Key(0, 0, -2.0f));
         passes = 0;
       }},
      {[&](PlayerPass& pass) { return SquareX(pass) == -2.0f || ++passes > 50; },
       [&](PlayerPass& pass) {
         EXPECT_EQ(SquareX(pass), -2.0f);
         EXPECT_EQ(pass.playback.MusicTime(), heldAt);
         SDL_Event event{};
         event.type = SDL_KEYDOWN;
         event.key.keysym.scancode = SDL_SCANCODE_K;
         SDL_PushEvent(&event);
       }},
      // K: the camera's listed tracks get keys at the row, sent to the editor.
      {[&](PlayerPass&) { return sent().keys.size() >= 2; },
       [&](PlayerPass& pass) {
         const Sent s = sent();
         ASSERT_EQ(s.keys.size(), 2u);
         EXPECT_EQ(s.keys[0].first, 1u);
         EXPECT_EQ(s.keys[0].second, (SyncKey{40, 0.0f, KeyShape::Linear}));
         EXPECT_EQ(s.keys[1].first, 2u);
         EXPECT_NE(pass.message.find("camera keyed at row 40"), std::string::npos) << pass.message;
         editor_.Send(std::string{5});  // SAVE_TRACKS
       }},
      {[&](PlayerPass& pass) { return pass.message.find("saved 3 tracks") != std::string::npos; },
       [&](PlayerPass&) {
         const std::vector<SyncKey> x = ReadTrackFile(demo_.dir / "data/sync/red#Objects/Square.lwo.x.track");
         EXPECT_EQ(x, (std::vector<SyncKey>{{0, -2.0f, KeyShape::Step}}));
         editor_.Send(std::string{4, 0});  // PAUSE off
       }},
      {[](PlayerPass& pass) { return !pass.controls.paused(); },
       [&](PlayerPass&) { editor_.Send(std::string("\x09garbage", 8)); }},
      // Garbage drops the editor; the show goes on with the keys it has,
      // and the player comes back.
      {[&](PlayerPass& pass) { return pass.message.find("garbage") != std::string::npos; },
       [&](PlayerPass& pass) {
         EXPECT_FALSE(pass.controls.paused());
         EXPECT_EQ(SquareX(pass), -2.0f);
         heldAt = pass.playback.MusicTime();
       }},
      {[&](PlayerPass&) { return editor_.accepted == 2 && editor_.received == hello; },
       [&](PlayerPass& pass) {
         EXPECT_GE(pass.playback.MusicTime(), heldAt);
         editor_.Hangup();
       }},
      {[&](PlayerPass& pass) { return pass.message.find("closed without answering") != std::string::npos; },
       [&](PlayerPass& pass) { EXPECT_EQ(SquareX(pass), -2.0f); }},
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace stagwerk
