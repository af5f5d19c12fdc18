// A capture split into segments, run as separate processes, by
// --capture-jobs and by GNU parallel over two slots, equals one run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "PngFile.h"
#include "TinyDemo.h"

namespace stagwerk {
namespace {

class CaptureJobsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_.AddScene("red", 8, 10, 1, 0, 0);
    demo_.AddScene("green", 12, 10, 0, 1, 0);
    demo_.SetScript("red 1 00:00:00:000\ngreen 1 00:00:00:800\n");
  }
  // The player in a child, as a job runner starts it.
  std::string Command(const std::string& args) const {
    return "cd '" + demo_.dir.path().string() + "' && ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen " +
           "XDG_CONFIG_HOME='" + demo_.dir.path().string() + "' '" STAGWERK_BINARY "' '" + demo_.config() +
           "' --size 48x32 --fps 20 " + args + " 2>>'" + (demo_.dir / "err") + "'";
  }
  int Run(const std::string& command) const { return WEXITSTATUS(std::system(command.c_str())); }
  // Every PNG in the folder, by name.
  std::map<std::string, std::vector<unsigned char>> Frames(const std::string& folder) const {
    std::map<std::string, std::vector<unsigned char>> frames;
    for (const auto& f : std::filesystem::directory_iterator(folder)) {
      frames[f.path().filename().string()] = testing::ReadPng(f.path().string()).rgb;
    }
    return frames;
  }
  std::string Md5s(const std::string& video) const {
    const std::string to = demo_.dir / "md5";
    Run("ffmpeg -v error -i '" + video + "' -map 0:v -f framemd5 -pix_fmt rgb24 - | grep -v '^#' | cut -d, -f6 > '" +
        to + "'");
    return testing::ReadFile(to);
  }
  testing::TinyDemo demo_;
};

TEST_F(CaptureJobsTest, SegmentsInProcessesOfTheirOwnMakeTheWhole) {
  ASSERT_EQ(Run(Command("--capture one")), 0) << testing::ReadFile(demo_.dir / "err");
  const auto one = Frames(demo_.dir / "one");
  ASSERT_EQ(one.size(), 41u);  // 2 s at 20 fps, frames 0 to 40

  // Three processes into one folder; nothing of theirs is left behind.
  ASSERT_EQ(Run(Command("--capture three --capture-jobs 3")), 0) << testing::ReadFile(demo_.dir / "err");
  EXPECT_TRUE(one == Frames(demo_.dir / "three"));

  // GNU parallel over two slots, each running its share.
  ASSERT_EQ(Run("command -v parallel >/dev/null"), 0) << "parallel is installed with the test dependencies";
  ASSERT_EQ(Run("parallel --will-cite -j 2 --halt now,fail=1 \"" + Command("--capture shared --segment {}/2") +
                "\" ::: 1 2"),
            0)
      << testing::ReadFile(demo_.dir / "err");
  EXPECT_TRUE(one == Frames(demo_.dir / "shared"));

  // A lossless video joined from two segments holds the same pictures.
  ASSERT_EQ(Run(Command("--capture one.mkv --preset archive")), 0);
  ASSERT_EQ(Run(Command("--capture two.mkv --preset archive --capture-jobs 2 --from 0.5")), 0)
      << testing::ReadFile(demo_.dir / "err");
  const std::string whole = Md5s(demo_.dir / "one.mkv");
  const std::string joined = Md5s(demo_.dir / "two.mkv");
  ASSERT_EQ(std::count(joined.begin(), joined.end(), '\n'), 31);  // frames 10 to 40
  EXPECT_EQ(joined, whole.substr(whole.size() - joined.size()));
  EXPECT_FALSE(std::filesystem::exists(demo_.dir / "two.mkv.segments"));

  // A segment that fails says which, with its messages, and fails the whole.
  demo_.dir.Write("bin/ffmpeg", "#!/bin/sh\nexit 3\n");
  std::filesystem::permissions(demo_.dir / "bin/ffmpeg", std::filesystem::perms::owner_all);
  std::filesystem::remove(demo_.dir / "err");
  EXPECT_EQ(Run("export PATH='" + (demo_.dir / "bin") + "':$PATH; " + Command("--capture dead.mp4 --capture-jobs 2")), 1);
  const std::string err = testing::ReadFile(demo_.dir / "err");
  EXPECT_NE(err.find("Cannot write dead.mp4: segment "), std::string::npos) << err;
  EXPECT_NE(err.find("ffmpeg"), std::string::npos) << err;
}

}  // namespace
}  // namespace stagwerk
