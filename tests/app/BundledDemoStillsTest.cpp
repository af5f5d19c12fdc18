// Stills of the bundled demo's scenes, drawn by stagwerk --render with no
// display by each back end, against pictures committed with the test. On the
// Mesa these were made with the fixed-function back end matches exactly;
// elsewhere rasterisation and mipmap filtering may round differently at
// edges, so up to 1% of the pixels may be off by more than 2 in a channel,
// and none by more than 64. The shader back end must come within 3 on 99.5%
// of the pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "PngFile.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

const std::string kDemo = std::string(STAGWERK_TEST_DATA) + "/../../demo";
const std::string kStills = std::string(STAGWERK_TEST_DATA) + "/stills";

// The player in a child: its driver loads and unloads GL, which leaks on its
// own under no name LeakSanitizer can tell from ours.
int Render(const testing::TempDir& dir, const std::string& args, const std::string& err = "/dev/null") {
  const std::string command = "cd '" + kDemo + "' && ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen DISPLAY= " +
                              "XDG_CONFIG_HOME='" + dir.path().string() + "' '" STAGWERK_BINARY "' " + args +
                              " 2>'" + err + "'";
  return WEXITSTATUS(std::system(command.c_str()));
}

TEST(BundledDemoStills, MatchTheCommittedPictures) {
  testing::TempDir dir;
  struct Still {
    const char* scene;
    const char* at;
    int camera;
  };
  // The title over the sky and flare; sparks; the blurred tunnel from both
  // cameras; reflections; the finale's morphs, additive rings and sprites.
  for (const char* renderer : {"fixed", "shader"}) {
    const bool shader = std::string(renderer) == "shader";
    for (const Still& s : {Still{"dawn", "7.5", 1}, Still{"forge", "4", 1}, Still{"tunnel", "3.5", 1},
                           Still{"tunnel", "5", 2}, Still{"mirror", "4", 1}, Still{"finale", "3", 1},
                           Still{"finale", "6.5", 1}}) {
      const std::string name = std::string(s.scene) + "-" + s.at + "-cam" + std::to_string(s.camera) + ".png";
      const std::string out = dir / (std::string(renderer) + "-" + name);
      ASSERT_EQ(Render(dir, std::string("--renderer ") + renderer + " --render " + s.scene + " --at " + s.at +
                                " --camera " + std::to_string(s.camera) + " --size 200x150 --out '" + out + "'"),
                0)
          << renderer << " " << name;
      const testing::Picture got = testing::ReadPng(out);
      const testing::Picture want = testing::ReadPng(kStills + "/" + name);
      ASSERT_EQ(got.width, want.width) << name;
      ASSERT_EQ(got.height, want.height) << name;
      std::vector<int> diffs;
      for (std::size_t i = 0; i < want.rgb.size(); i += 3) {
        int pixel = 0;
        for (std::size_t c = 0; c < 3; ++c) pixel = std::max(pixel, std::abs(got.rgb[i + c] - want.rgb[i + c]));
        diffs.push_back(pixel);
      }
      std::sort(diffs.begin(), diffs.end());
      const auto beyond = [&](int limit) {
        return static_cast<int>(diffs.end() - std::upper_bound(diffs.begin(), diffs.end(), limit));
      };
      const int pixels = static_cast<int>(diffs.size());
      std::cout << renderer << " " << name << ": max " << diffs.back() << ", 99.9th percentile "
                << diffs[static_cast<std::size_t>(pixels * 999 / 1000)] << "\n";
      if (shader) {
        EXPECT_LE(beyond(3), pixels / 200) << name << ": " << beyond(3) << " pixels off by more than 3";
      } else {
        EXPECT_LE(beyond(2), pixels / 100) << name << ": " << beyond(2) << " pixels off";
        EXPECT_LE(diffs.back(), 64) << name;
      }
    }
  }
}

TEST(BundledDemoStills, FailuresAsForTheOtherModes) {
  testing::TempDir dir;
  const std::string out = dir / "x.png";
  EXPECT_EQ(Render(dir, "--render nowhere --at 1 --out '" + out + "'", dir / "err"), 1);
  EXPECT_NE(testing::ReadFile(dir / "err").find("Loading Error: Cannot load file data/scenes/nowhere.lws"),
            std::string::npos)
      << testing::ReadFile(dir / "err");
  EXPECT_EQ(Render(dir, "--render dawn --out x.png"), 2);
}

}  // namespace
}  // namespace stagwerk
