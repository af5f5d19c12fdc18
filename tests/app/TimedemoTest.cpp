// The benchmark draws exactly the frames a recording steps through, and
// its figures come out as lines a script can read.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "TinyDemo.h"
#include "app/modes/Timedemo.h"

namespace stagwerk {
namespace {

TEST(Timedemo, DrawsEveryFrameOnceAndReportsItsFigures) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  testing::TinyDemo demo;
  demo.AddScene("first", 8, 10, 1, 0, 0);    // 0.8 s: frames at 0, 0.1, ... 0.7
  demo.AddScene("second", 50, 10, 0, 1, 0);  // 5 s, from where the first ends
  demo.SetScript("first 1 00:00:00:000\nsecond 1 00:00:01:200\n");
  testing::InDirectory here(demo.dir.path());
  TimedemoOptions options;
  options.configPath = demo.config();
  options.settingsPath = demo.dir / "settings.conf";
  const TimedemoResult result = RunTimedemo(options);
  // 8 frames of the first, then 5 s of the second at 10 fps (the float
  // scene times may leave out the very last, as in playback).
  ASSERT_EQ(result.entries.size(), 2u);
  EXPECT_EQ(result.entries[0].frames, 8);
  EXPECT_GE(result.entries[1].frames, 49);
  EXPECT_LE(result.entries[1].frames, 50);
  const std::size_t frames = result.frameSeconds.size();
  EXPECT_EQ(frames, static_cast<std::size_t>(result.entries[0].frames + result.entries[1].frames));

  std::ostringstream out;
  WriteTimedemo(out, result);
  std::smatch m;
  const std::string text = out.str();
  ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(timedemo: (\d+) frames in ([\d.]+) s, ([\d.]+) fps\n)")))
      << text;
  EXPECT_EQ(m[1], std::to_string(frames));
  EXPECT_NEAR(std::stod(m[3]), static_cast<double>(frames) / std::stod(m[2]), 0.05 * std::stod(m[3]));
  EXPECT_TRUE(std::regex_search(
      text, std::regex(R"(frame time median [\d.]+ ms, 99th percentile [\d.]+ ms, maximum [\d.]+ ms\n)")))
      << text;
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(slowest entry [12] \((first|second)\): [\d.]+ ms a frame over (8|49|50) frames)")))
      << text;
}

}  // namespace
}  // namespace stagwerk
