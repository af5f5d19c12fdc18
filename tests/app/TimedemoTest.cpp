// The benchmark draws the frames a recording at the scenes' rates steps
// through, and its figures come out as lines a script can read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "TinyDemo.h"
#include "app/modes/Timedemo.h"

namespace stagwerk {
namespace {

TEST(Timedemo, DrawsTheFramesACaptureWritesAndReportsItsFigures) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  testing::TinyDemo demo;
  // Three scenes of 1 s at 10 fps, each ended by its LastFrame: the pass
  // that reaches it starts the next entry and draws nothing.
  demo.AddScene("first", 10, 10, 1, 0, 0);
  demo.AddScene("second", 10, 10, 0, 1, 0);
  demo.AddScene("third", 10, 10, 0, 0, 1);
  demo.SetScript("first 1 00:00:00:000\nsecond 1 00:00:05:000\nthird 1 00:00:10:000\n");
  testing::InDirectory here(demo.dir.path());
  TimedemoOptions options;
  options.configPath = demo.config();
  options.settingsPath = demo.dir / "settings.conf";
  const TimedemoResult result = RunTimedemo(options);
  ASSERT_EQ(result.entries.size(), 3u);
  EXPECT_EQ(result.entries[0].frames, 10);
  EXPECT_EQ(result.entries[1].frames, 9);
  EXPECT_EQ(result.entries[2].frames, 9);
  const auto frames = static_cast<int64_t>(result.frameSeconds.size());
  EXPECT_EQ(frames, 28);

  // The same demo recorded at the scenes' rate writes one picture for each
  // the benchmark showed: its frames, the two switching passes, the end.
  const std::filesystem::path captured = demo.dir / "captured";
  const std::string capture = "ASAN_OPTIONS=detect_leaks=0 " + std::string(STAGWERK_BINARY) + " --capture " + captured.string() +
                              " --fps 10 --size 64x48 " + demo.config() + " > /dev/null 2>&1";
  ASSERT_EQ(std::system(capture.c_str()), 0);
  int64_t pictures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(captured)) pictures += entry.path().extension() == ".png";
  EXPECT_EQ(result.shown, pictures);
  EXPECT_EQ(result.shown, frames + 3);

  std::ostringstream out;
  WriteTimedemo(out, result);
  const std::string text = out.str();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(timedemo: (\d+) frames in ([\d.]+) s, ([\d.]+) fps\n)")))
      << text;
  EXPECT_EQ(m[1], std::to_string(frames));
  // Against the measured time, not the printed rounding of it.
  EXPECT_NEAR(std::stod(m[2]), result.seconds, 0.0005 + 1e-9);
  EXPECT_NEAR(std::stod(m[3]), static_cast<double>(frames) / result.seconds, 0.05 + 1e-9);
  EXPECT_TRUE(std::regex_search(
      text, std::regex(R"(frame time median [\d.]+ ms, 99th percentile [\d.]+ ms, maximum [\d.]+ ms\n)")))
      << text;
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(slowest entry [123] \((first|second|third)\): [\d.]+ ms a frame over (10|9) frames\n)")))
      << text;
  EXPECT_NE(text.find("timedemo: 31 pictures at the scenes' rates, 3 of them no new frame\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace stagwerk
