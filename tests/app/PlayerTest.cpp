// The player end to end: its loop ends on Escape and on closing the window
// (in-process, SDL's offscreen video and dummy audio), a short demo plays to
// its end in a real X window under Xvfb, and with no display at all it says
// so and points to --capture.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>

#include "TinyDemo.h"
#include "app/modes/Player.h"
#include "music/ProTrackerModule.h"

namespace stagwerk {
namespace {

using Seconds = std::chrono::duration<double>;

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    demo_.AddScene("long", 600, 30, 0, 0, 0.5f);  // 20 s: only a quit ends it in time
    demo_.SetScript("long 1 00:00:00:000\n");
  }
  // Plays with an event posted as soon as the loop runs; the seconds it took.
  double PlayWith(SDL_Event event, int* status) {
    PlayerOptions options;
    options.configPath = demo_.config();
    options.settingsPath = demo_.dir / "settings.conf";
    options.onPlaying = [event]() mutable { SDL_PushEvent(&event); };
    const auto begin = std::chrono::steady_clock::now();
    testing::InDirectory here(demo_.dir.path());
    *status = RunPlayer(options);
    return Seconds(std::chrono::steady_clock::now() - begin).count();
  }
  testing::TinyDemo demo_;
};

TEST_F(PlayerTest, EscapeAndClosingTheWindowEndThePlayback) {
  SDL_Event escape{};
  escape.type = SDL_KEYDOWN;
  escape.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  escape.key.keysym.sym = SDLK_ESCAPE;
  int status = -1;
  EXPECT_LT(PlayWith(escape, &status), 5.0);
  EXPECT_EQ(status, 0);
  // The display settings were stored on the way, as a plain run does.
  EXPECT_EQ(testing::ReadFile(demo_.dir / "settings.conf"), "Fullscreen=0\nDepth=32\nHeight=64\nWidth=64\n");

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  status = -1;
  EXPECT_LT(PlayWith(quit, &status), 5.0);
  EXPECT_EQ(status, 0);
}

struct ShellRun {
  int status;
  double seconds;
  std::string err;
};

ShellRun Shell(const std::string& command, const testing::TempDir& dir) {
  const auto begin = std::chrono::steady_clock::now();
  const int raw = std::system((command + " 2>'" + (dir / "err") + "'").c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Seconds(std::chrono::steady_clock::now() - begin).count(),
          testing::ReadFile(dir / "err")};
}

TEST(PlayerWindow, AShortDemoPlaysToItsEndInARealWindow) {
  testing::TinyDemo demo(160, 120);
  demo.AddScene("first", 8, 10, 1, 0, 0);    // 0.8 s, ended by its last frame
  demo.AddScene("second", 50, 10, 0, 1, 0);  // cut by the music at 1.2 s
  demo.AddScene("third", 5, 10, 0, 0, 1);    // 0.5 s, the end of the demo
  demo.SetScript("first 1 00:00:00:000\nsecond 1 00:00:00:500\nthird 1 00:00:01:200\n");
  const std::string command = "cd '" + demo.dir.path().string() + "' && env -u SDL_VIDEODRIVER ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                              (demo.dir / "config") + "' SDL_AUDIODRIVER=dummy xvfb-run -a '" STAGWERK_BINARY
                              "' --stats";
  const ShellRun run = Shell(command, demo.dir);
  EXPECT_EQ(run.status, 0) << run.err;
  // 0.8 s, then the second entry until the music reaches 1.2 s, then 0.5 s;
  // starting X and the process costs its part.
  EXPECT_GT(run.seconds, 1.7);
  EXPECT_LT(run.seconds, 15.0);
  EXPECT_NE(run.err.find("stagwerk: music none.ogg: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" frames in 1."), std::string::npos) << run.err;
  // Passes are paced a frame (0.1 s) after the previous one ended, so what
  // the swap itself costs comes on top; never less than the frame.
  const std::size_t median = run.err.find("frame interval median ");
  ASSERT_NE(median, std::string::npos) << run.err;
  const double ms = std::stod(run.err.substr(median + 22));
  EXPECT_GE(ms, 99.9);
  EXPECT_LT(ms, 130.0);
  EXPECT_NE(run.err.find("CPU time while playing"), std::string::npos) << run.err;
}

// Real key presses (xdotool, through the X server) into a real window: a
// 2 s demo held by Space is still playing after 3 s, steps a frame and sets
// a marker, then goes on, takes a seek, the overlay and full screen both
// ways, holds its end (--hold), and Escape ends it; no warning says the
// module could not play.
TEST(PlayerWindow, TakesKeysFromTheXServer) {
  // Its music is our test module, so a module plays, holds and seeks too.
  testing::TinyDemo demo(160, 120, "song.mod");
  music::WriteBytes(demo.dir / "song.mod", music::MakeTestModule());
  demo.AddScene("only", 20, 10, 1, 0, 0);
  demo.SetScript("only 1 00:00:00:000\n");
  const std::string player = "env -u SDL_VIDEODRIVER ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                             (demo.dir / "config") + "' SDL_AUDIODRIVER=dummy '" STAGWERK_BINARY "' --hold";
  const std::string script =
      player + " & pid=\\$!; "
      "xdotool search --sync --onlyvisible --name 'Dorthax' windowfocus --sync; sleep 0.5; xdotool key space; sleep 3; "
      "kill -0 \\$pid 2>/dev/null && echo held >&2; "
      "xdotool key period m; sleep 0.3; test -s data/markers.txt && echo marked >&2; "
      "xdotool key space Right Tab f f; sleep 2.5; kill -0 \\$pid 2>/dev/null && echo end-held >&2; "
      // Escape is read as held down, as a hand holds it, not as a tap.
      "xdotool keydown Escape; sleep 0.3; xdotool keyup Escape; "
      "wait \\$pid; echo status=\\$? >&2";
  const ShellRun run = Shell("cd '" + demo.dir.path().string() + "' && xvfb-run -a sh -c \"" + script + "\"", demo.dir);
  EXPECT_NE(run.err.find("held"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("marked"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("end-held"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("song.mod"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("status=0"), std::string::npos) << run.err;
  EXPECT_LT(run.seconds, 15.0);
}

TEST(PlayerWindow, WithoutADisplayItSaysSoAndSuggestsCapture) {
  testing::TinyDemo demo;
  demo.AddScene("first", 8, 10, 1, 0, 0);
  demo.SetScript("first 1 00:00:00:000\n");
  const std::string command = "cd '" + demo.dir.path().string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                              (demo.dir / "config") + "' SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy '" STAGWERK_BINARY "'";
  const ShellRun run = Shell(command, demo.dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error: Window Creation Error."), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--capture"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace stagwerk
