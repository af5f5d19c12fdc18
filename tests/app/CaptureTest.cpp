// Capture on the ideal machine: which scene each output frame shows, at what
// scene time, across an entry switched by LastFrame and one cut by the music;
// PNG frames and, where ffmpeg is installed, a video; the overlay only when
// asked for.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "PngFile.h"
#include "CaptureFixture.h"
#include "TinyDemo.h"
#include "base/LoadError.h"
#include "app/capture/Capture.h"
#include "app/loading/Demo.h"
#include "frame/Overlay.h"
#include "music/ProTrackerModule.h"

namespace stagwerk {
namespace {

using testing::Picture;
using testing::Frame;
using testing::ReadPng;

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    demo_.AddScene("red", 8, 10, 1, 0, 0);     // 0.8 s, ended by its last frame
    demo_.AddScene("green", 50, 10, 0, 1, 0);  // 5 s, cut by the music at 1.5 s
    demo_.AddScene("blue", 20, 10, 0, 0, 1);   // 2 s, the end of the demo
    demo_.SetScript("red 1 00:00:00:000\ngreen 1 00:00:01:000\nblue 1 00:00:01:500\n");
  }
  CaptureOptions Options(const std::string& out) const { return testing::CaptureOf(demo_, out); }
  testing::TinyDemo demo_;
};

TEST_F(CaptureTest, FramesShowTheRightSceneAtTheRightSceneTime) {
  const std::string out = demo_.dir / "frames";
  testing::InDirectory here(demo_.dir.path());
  RunCapture(Options(out));

  // Frame k is the screen at music time k / 10 s. The demo ends when blue
  // reaches its last frame, at about 3.5 s: frames 0 to 35.
  EXPECT_TRUE(std::filesystem::exists(Frame(out, 35)));
  EXPECT_FALSE(std::filesystem::exists(Frame(out, 36)));
  EXPECT_FALSE(std::filesystem::exists(demo_.dir / "settings.conf"));  // a recording writes no settings

  // The square fades over its scene: its grey tells the scene time, the
  // backdrop around it the scene. A pass draws, then waits a frame and is
  // swapped a hair after the next tenth of a second (float frame lengths
  // round up), so frame k shows what pass k - 2 drew.
  struct Expect {
    int frame;
    std::array<int, 3> backdrop;
    float sceneTime;
    float sceneLength;
  };
  const Expect expected[] = {
      {2, {255, 0, 0}, 0.0f, 0.8f}, {3, {255, 0, 0}, 0.1f, 0.8f}, {9, {255, 0, 0}, 0.7f, 0.8f},
      // Pass 8 finds red at its last frame: it switches and draws nothing,
      // so frame 10 still shows red, and green's clock started with that pass.
      {10, {255, 0, 0}, 0.7f, 0.8f}, {11, {0, 255, 0}, 0.1f, 5.0f}, {16, {0, 255, 0}, 0.6f, 5.0f},
      // The music passes 1.5 s in pass 15: green is cut and blue drawn from
      // its first frame in the same pass.
      {17, {0, 0, 255}, 0.0f, 2.0f}, {30, {0, 0, 255}, 1.3f, 2.0f}};
  for (int k : {0, 1}) {
    const Picture loading = ReadPng(Frame(out, k));
    ASSERT_EQ(loading.width, 64);
    EXPECT_NEAR(loading.At(32, 32)[0], 64, 4) << "before the first swap: the loading picture";
  }
  for (const Expect& e : expected) {
    const Picture p = ReadPng(Frame(out, e.frame));
    ASSERT_EQ(p.width, 64) << e.frame;
    EXPECT_EQ(p.At(2, 2), e.backdrop) << "frame " << e.frame;
    // The square: white at alpha 1 - t/length over the backdrop.
    const float alpha = 1.0f - e.sceneTime / e.sceneLength;
    for (int c = 0; c < 3; ++c) {
      const float want = 255.0f * alpha + static_cast<float>(e.backdrop[static_cast<std::size_t>(c)]) * (1 - alpha);
      EXPECT_NEAR(p.At(32, 32)[static_cast<std::size_t>(c)], want, 4.0f) << "frame " << e.frame << " channel " << c;
    }
  }

  // --from and --to choose the music times 1.2 to 1.6 s: the very pictures
  // of the whole recording, since the demo still plays from its start.
  const std::string part = demo_.dir / "part";
  CaptureOptions options = Options(part);
  options.from = 1.2;
  options.to = 1.6;
  RunCapture(options);
  // Named by their place in the whole recording, so segments fill one folder.
  EXPECT_FALSE(std::filesystem::exists(Frame(part, 11)));
  EXPECT_FALSE(std::filesystem::exists(Frame(part, 17)));
  for (int k = 12; k <= 16; ++k) EXPECT_EQ(ReadPng(Frame(part, k)).rgb, ReadPng(Frame(out, k)).rgb) << "frame " << k;

  // Frames built ahead on a worker, as two cores do, are the frames one
  // thread builds in line.
  const std::string one = demo_.dir / "one";
  CaptureOptions single = Options(one);
  single.jobs = 1;
  std::ostringstream said;
  single.progress = &said;
  RunCapture(single);
  EXPECT_NE(said.str().find("(0 frames built ahead"), std::string::npos) << said.str();
  for (int k = 0; k <= 35; ++k) EXPECT_EQ(ReadPng(Frame(one, k)).rgb, ReadPng(Frame(out, k)).rgb) << "frame " << k;
  if (std::thread::hardware_concurrency() > 1) {
    std::ostringstream ahead;
    CaptureOptions two = Options(demo_.dir / "two");
    two.progress = &ahead;
    RunCapture(two);
    // All but the first frame and those where an entry begins.
    const std::size_t at = ahead.str().find(" frames built ahead");
    ASSERT_NE(at, std::string::npos) << ahead.str();
    EXPECT_EQ(ahead.str().substr(ahead.str().rfind('(', at) + 1, at - ahead.str().rfind('(', at) - 1), "32");
  }
}

// A demo whose music is a tracker module: the recording carries its sound,
// as long as the pictures.
TEST(CaptureModule, AVideoCarriesTheModulesSound) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  testing::TinyDemo demo(64, 64, "song.mod");
  demo.AddScene("red", 20, 10, 1, 0, 0);
  demo.SetScript("red 1 00:00:00:000\n");
  music::WriteBytes(demo.dir / "song.mod", music::MakeTestModule());
  const std::string video = demo.dir / "demo.mkv";
  testing::InDirectory here(demo.dir.path());
  CaptureOptions options = testing::CaptureOf(demo, video);
  options.preset = VideoPreset::Archive;
  RunCapture(options);
  const std::string probe = "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -show_entries "
                            "format=duration -of csv=p=0 '" + video + "' > '" + (demo.dir / "probe") + "'";
  ASSERT_EQ(std::system(probe.c_str()), 0);
  const std::string shown = testing::ReadFile(demo.dir / "probe");
  EXPECT_NE(shown.find("flac"), std::string::npos) << shown;
  // The loudest sample: not silence.
  const std::string peak = "ffmpeg -nostats -i '" + video + "' -map 0:a -af volumedetect -f null - 2>&1 | "
                           "grep -o 'max_volume: [-0-9.]*' > '" + (demo.dir / "peak") + "'";
  ASSERT_EQ(std::system(peak.c_str()), 0);
  const std::string loudest = testing::ReadFile(demo.dir / "peak");
  ASSERT_GT(loudest.size(), 12u) << loudest;
  EXPECT_GT(std::stod(loudest.substr(12)), -30.0) << loudest;
}

// An NTSC rate: frame k at k * 1001 / 60000 s, the same frames whichever
// segment writes them.
TEST_F(CaptureTest, ExactFractionalRatesAndSegmentsThatMakeTheWhole) {
  testing::InDirectory here(demo_.dir.path());
  CaptureOptions whole = Options(demo_.dir / "whole");
  whole.fps = *FrameRate::Parse("60000/1001");
  whole.to = 2.0;
  RunCapture(whole);
  // 2 s is 119.88 frames: 0 to 119.
  EXPECT_TRUE(std::filesystem::exists(Frame(whole.out, 119)));
  EXPECT_FALSE(std::filesystem::exists(Frame(whole.out, 120)));
  CaptureOptions part = whole;
  part.out = demo_.dir / "segment";
  part.from = 1.0;  // 59.94 frames: the first is 60
  part.to = 1.1;    // 65.93: the last is 65
  RunCapture(part);
  EXPECT_FALSE(std::filesystem::exists(Frame(part.out, 59)));
  EXPECT_FALSE(std::filesystem::exists(Frame(part.out, 66)));
  for (int k = 60; k <= 65; ++k) EXPECT_EQ(ReadPng(Frame(part.out, k)).rgb, ReadPng(Frame(whole.out, k)).rgb) << k;
}

TEST_F(CaptureTest, TheOverlayOnlyWhenAsked) {
  testing::InDirectory here(demo_.dir.path());
  CaptureOptions plain = Options(demo_.dir / "plain");
  plain.width = 320;
  plain.height = 240;
  plain.to = 1.8;
  RunCapture(plain);
  CaptureOptions asked = plain;
  asked.out = demo_.dir / "overlay";
  asked.overlay = true;
  RunCapture(asked);

  const auto whiteInTextCorner = [](const Picture& p) {
    int white = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 160; ++x) white += p.At(x, y) == std::array<int, 3>{255, 255, 255};
    }
    return white;
  };
  // The loading picture has none; frame 17 shows blue, about half played.
  EXPECT_EQ(ReadPng(Frame(asked.out, 0)).rgb, ReadPng(Frame(plain.out, 0)).rgb);
  const Picture bare = ReadPng(Frame(plain.out, 17));
  const Picture with = ReadPng(Frame(asked.out, 17));
  ASSERT_EQ(with.width, 320);
  EXPECT_EQ(whiteInTextCorner(bare), 0);
  EXPECT_GT(whiteInTextCorner(with), 300);
  EXPECT_EQ(bare.At(300, 239), (std::array<int, 3>{0, 0, 255}));
  EXPECT_EQ(with.At(300, 239), (std::array<int, 3>{0, 0, 102}));  // the bar's dark panel
  EXPECT_EQ(with.At(10, 233), (std::array<int, 3>{230, 138, 33}));  // played
  EXPECT_EQ(with.At(300, 233), (std::array<int, 3>{0, 0, 102}));    // still to come
  int differing = 0;
  for (int y = 60; y < 240 - kSeekBarHeight; ++y) {
    for (int x = 240; x < 320; ++x) differing += with.At(x, y) != bare.At(x, y);
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(CaptureTest, AVideoWithTheMusicWhenFfmpegIsThere) {
  ASSERT_EQ(std::system("command -v ffmpeg >/dev/null"), 0) << "ffmpeg is installed with the test dependencies";
  const std::string video = demo_.dir / "demo.mp4";
  testing::InDirectory here(demo_.dir.path());
  RunCapture(Options(video));
  ASSERT_TRUE(std::filesystem::exists(video));
  // ffmpeg reads it back: 36 frames of 64 x 64.
  const std::string probe = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                            "stream=width,height,nb_read_frames -of csv=p=0 '" + video + "' > '" +
                            (demo_.dir / "probe") + "'";
  ASSERT_EQ(std::system(probe.c_str()), 0);
  EXPECT_EQ(testing::ReadFile(demo_.dir / "probe"), "64,64,36\n");

  // An NTSC rate is in the file as the exact fraction.
  CaptureOptions ntsc = Options(demo_.dir / "ntsc.mp4");
  ntsc.fps = {30000, 1001};
  ntsc.to = 1.0;
  RunCapture(ntsc);
  const std::string rate = "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=r_frame_rate,nb_read_frames "
                           "-of csv=p=0 '" + ntsc.out + "' > '" + (demo_.dir / "rate") + "'";
  ASSERT_EQ(std::system(rate.c_str()), 0);
  EXPECT_EQ(testing::ReadFile(demo_.dir / "rate"), "30000/1001,30\n");  // frames 0 to 29: 29.97 is past 1 s

  // A folder name that cannot be made is a clear failure.
  demo_.dir.Write("file", "x");
  try {
    RunCapture(Options(demo_.dir / "file/frames"));
    FAIL() << "captured into a file";
  } catch (const LoadError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write " + (demo_.dir / "file/frames")), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace stagwerk
