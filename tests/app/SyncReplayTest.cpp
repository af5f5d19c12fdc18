// Saved sync tracks without an editor: stills and recordings read them at
// the music time their script entry gives, alike; a broken file is a
// loading error naming it.
#include <gtest/gtest.h>

#include "CaptureFixture.h"
#include "PngFile.h"
#include "TinyDemo.h"
#include "app/capture/Capture.h"
#include "app/modes/StillRender.h"
#include "base/LoadError.h"
#include "sync/TrackFile.h"

namespace stagwerk {
namespace {

using testing::ReadPng;

class SyncReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    demo_.AddScene("red", 100, 10, 1, 0, 0);
    demo_.AddScene("blue", 100, 10, 0, 0, 1);
    // blue's scene time 0 is music time 2 s.
    demo_.SetScript("red 1 00:00:00:000\nblue 1 00:00:02:000\n");
  }
  testing::Picture Still(const std::string& scene, float seconds) {
    StillOptions still;
    still.configPath = demo_.config();
    still.settingsPath = demo_.dir / "settings.conf";
    still.scene = scene;
    still.seconds = seconds;
    still.out = demo_.dir / "still.png";
    RenderStill(still);
    return ReadPng(still.out);
  }
  testing::TinyDemo demo_;
};

TEST_F(SyncReplayTest, StillsAndRecordingsPlayTheSavedTracksAlike) {
  testing::InDirectory here(demo_.dir.path());
  const testing::Picture plain = Still("blue", 0.3f);
  demo_.dir.Write("data/sync.txt", "blue:Objects/Square.lwo.x\n");
  // From row 16 (music 2 s) x runs linearly from -3 to 3 at row 24.
  WriteTrackFile(demo_.dir / "data/sync/blue#Objects/Square.lwo.x.track",
                 {{16, -3.0f, KeyShape::Linear}, {24, 3.0f, KeyShape::Step}});
  const testing::Picture moved = Still("blue", 0.3f);
  EXPECT_NE(moved.rgb, plain.rgb);
  // At music 2.3 s, x = -3 + 6 * 2.4 / 8 = -1.2: the square, 2 wide at
  // depth 5 under a 90 degree view of 64 pixels, spans pixels 18 to 30.
  EXPECT_EQ(moved.At(33, 32), (std::array<int, 3>{0, 0, 255}));
  EXPECT_GT(moved.At(24, 32)[0], 200);

  // Frame k of a recording shows what pass k - 2 drew: blue starts with
  // pass 20, so frame 25 is its scene time 0.3.
  CaptureOptions options = testing::CaptureOf(demo_, demo_.dir / "frames");
  options.from = 2.5;
  options.to = 2.5;
  RunCapture(options);
  EXPECT_EQ(ReadPng(testing::Frame(demo_.dir / "frames", 25)).rgb, moved.rgb);

  // A short file: the count promises keys that are not there.
  demo_.dir.Write("data/sync/blue#Objects/Square.lwo.x.track", std::string("\x02\x00\x00\x00", 4));
  try {
    Still("blue", 0.3f);
    ADD_FAILURE() << "a short track file loaded";
  } catch (const LoadError& error) {
    EXPECT_NE(std::string(error.what()).find("blue#Objects/Square.lwo.x.track"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace stagwerk
