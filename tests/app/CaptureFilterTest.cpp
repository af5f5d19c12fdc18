// Capture's filters against stills: a supersampled frame is the still drawn
// that many times larger and box-filtered down; a frame under an open
// shutter is the mean of stills at its sub-frame moments.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "PngFile.h"
#include "SceneFixtures.h"
#include "CaptureFixture.h"
#include "TinyDemo.h"
#include "app/capture/Capture.h"
#include "app/modes/StillRender.h"

namespace stagwerk {
namespace {

using testing::Picture;
using testing::Frame;
using testing::ReadPng;

int MaxDifference(const Picture& a, const Picture& b) {
  if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 256;
  int most = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) most = std::max(most, std::abs(a.rgb[i] - b.rgb[i]));
  return most;
}

class CaptureFilterTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_VIDEODRIVER", "offscreen", 1); }

  // A white mesh on a dark red backdrop, its x going linearly from x0 at
  // scene time 0 to x1 at 1 s, the scene's end.
  void AddScene(const Kq7Description& mesh, float x0, float x1) {
    WriteKq7File(demo_.dir / "data/Objects/M.kq7", mesh);
    std::string motion = "NumChannels 9\nChannel 0\n" + testing::LinearEnvelope({{x0, 0.0f}, {x1, 1.0f}});
    for (int c = 1; c < 9; ++c) {
      motion += "Channel " + std::to_string(c) + "\n" + testing::LinearEnvelope({{c >= 6 ? 1.0f : 0.0f, 0.0f}});
    }
    demo_.dir.Write("data/scenes/s.lws", testing::SceneHeader(0, 10, 10) +
                                             "BackdropColor 0.4 0 0\nAmbientColor 1 1 1\nAmbientIntensity 1\n" +
                                             testing::CameraBlock("", "ZoomFactor 1\n") +
                                             "LoadObjectLayer 1 Objects/M.lwo\nShowObject 6 3\nObjectMotion\n" +
                                             motion + "ShadowOptions 7\n");
    demo_.SetScript("s 1 00:00:00:000\n");
  }
  // subframes > 0: the shutter open the whole frame.
  CaptureOptions Options(const std::string& out, int supersample = 1, int subframes = 0) {
    CaptureOptions options = testing::CaptureOf(demo_, demo_.dir / out);
    options.to = 0.8;
    options.supersample = supersample;
    options.shutter = subframes > 0 ? 360 : 0;
    options.subframes = std::max(1, subframes);
    return options;
  }
  Picture Still(float seconds, int scale) {
    StillOptions still;
    still.configPath = demo_.config();
    still.settingsPath = demo_.dir / "settings.conf";
    still.scene = "s";
    still.seconds = seconds;
    still.width = 64 * scale;
    still.height = 64 * scale;
    still.out = demo_.dir / "still.png";
    RenderStill(still);
    return ReadPng(still.out);
  }
  testing::TinyDemo demo_;
};

// A still oblique triangle: the frame drawn at N x and averaged over each
// N x N block, rounded to nearest with halves up, exactly.
TEST_F(CaptureFilterTest, SupersamplingIsABoxFilterOfTheLargerStill) {
  Kq7Description triangle;
  triangle.flags = HasPolygons;
  triangle.positions = {{-1, -1, 5}, {-0.3f, 1.2f, 5}, {1.1f, -0.6f, 5}};
  triangle.polygons = {{0, 1, 2}};
  AddScene(triangle, 0, 0);
  testing::InDirectory here(demo_.dir.path());
  RunCapture(Options("plain"));
  const Picture plain = ReadPng(Frame(demo_.dir / "plain", 5));
  ASSERT_EQ(plain.width, 64);
  ASSERT_EQ(MaxDifference(plain, Still(0.5f, 1)), 0) << "the plain frame is the still";
  for (int n : {2, 3}) {
    const CaptureOptions options = Options("ss" + std::to_string(n), n);
    RunCapture(options);
    const Picture frame = ReadPng(Frame(options.out, 5));
    const Picture large = Still(0.5f, n);
    ASSERT_EQ(frame.width, 64) << n;
    ASSERT_EQ(large.width, 64 * n);
    Picture want = plain;
    const int count = n * n;
    // Antialiased: the edges have shades between the two colours, which
    // the plain frame never has; flat areas keep their colour.
    int between = 0, plainBetween = 0;
    for (std::size_t i = 0; i < want.rgb.size(); ++i) {
      const int x = static_cast<int>(i / 3 % 64), y = static_cast<int>(i / 3 / 64), c = static_cast<int>(i % 3);
      int sum = 0;
      for (int k = 0; k < count; ++k) sum += large.At(n * x + k % n, n * y + k / n)[static_cast<std::size_t>(c)];
      want.rgb[i] = static_cast<unsigned char>((sum + count / 2) / count);
      between += c == 1 && frame.rgb[i] > 0 && frame.rgb[i] < 255;
      plainBetween += c == 1 && plain.rgb[i] > 0 && plain.rgb[i] < 255;
    }
    EXPECT_EQ(MaxDifference(frame, want), 0) << n;
    EXPECT_GT(between, 20) << n;
    EXPECT_EQ(plainBetween, 0);
    EXPECT_EQ(frame.At(2, 2), (std::array<int, 3>{102, 0, 0})) << n;
    EXPECT_EQ(frame.At(32, 30), (std::array<int, 3>{255, 255, 255})) << n;
  }
}

// A square moving 40 px/s: with the shutter open a whole frame and four
// sub-frames its edges stand 1 px apart at each sub-frame, midway between
// pixel centres, so a millisecond either way draws the same stills.
TEST_F(CaptureFilterTest, AnOpenShutterIsTheMeanOfStillsAtTheSubframeMoments) {
  const Kq7Description square = testing::Square(1.25f, 5);
  // Its left edge at pixel x 10.5 + 40 t: (x / 5 + 1) * 32 with x = x0 - 1.25.
  const float x0 = 1.25f + 5.0f * (10.5f / 32.0f - 1.0f);
  AddScene(square, x0, x0 + 40.0f * 5.0f / 32.0f);
  testing::InDirectory here(demo_.dir.path());
  const CaptureOptions options = Options("blur", 1, 4);
  RunCapture(options);
  for (int g : {3, 6}) {
    Picture mean = ReadPng(Frame(options.out, g));
    ASSERT_EQ(mean.width, 64) << g;
    std::vector<int> sums(mean.rgb.size(), 0);
    std::vector<Picture> stills;
    for (int i = 0; i < 4; ++i) {
      const float t = 0.1f * static_cast<float>(g) - 0.05f + 0.025f * (static_cast<float>(i) + 0.5f);
      stills.push_back(Still(t, 1));
      ASSERT_EQ(MaxDifference(stills.back(), Still(t - 0.002f, 1)), 0) << "edges far from pixel centres at " << t;
      for (std::size_t k = 0; k < sums.size(); ++k) sums[k] += stills.back().rgb[k];
    }
    EXPECT_NE(stills[0].rgb, stills[3].rgb) << "the square moves";
    Picture want = mean;
    for (std::size_t k = 0; k < sums.size(); ++k) want.rgb[k] = static_cast<unsigned char>((sums[k] + 2) / 4);
    EXPECT_EQ(MaxDifference(mean, want), 0) << "frame " << g;
  }

  // Standing still, the shutter changes no frame the scene shows, nor how
  // many frames there are up to the demo's end, where the last frame's
  // later sub-frames fall after it.
  AddScene(square, x0, x0);
  CaptureOptions plain = Options("still-plain"), open = Options("still-blur", 1, 4);
  plain.to.reset();
  open.to.reset();
  RunCapture(plain);
  RunCapture(open);
  const auto count = [](const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
  };
  EXPECT_EQ(count(plain.out), 11);
  EXPECT_EQ(count(open.out), count(plain.out));
  for (int g = 2; g < 11; ++g) EXPECT_EQ(ReadPng(Frame(open.out, g)).rgb, ReadPng(Frame(plain.out, g)).rgb) << g;
}

}  // namespace
}  // namespace stagwerk
