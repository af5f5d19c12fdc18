// Videos for a site and for an archive, as ffprobe reads them back: the web
// preset's codec, profile and index at the front, the sound exactly as long
// as the pictures; the archive's pictures exactly the PNG frames; an
// encoder that dies is an error, not a hang.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "CaptureFixture.h"
#include "TinyDemo.h"
#include "app/capture/Capture.h"
#include "base/LoadError.h"

namespace stagwerk {
namespace {

class CapturePresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system("command -v ffmpeg >/dev/null"), 0) << "ffmpeg is installed with the test dependencies";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    demo_.AddScene("red", 8, 10, 1, 0, 0);
    demo_.AddScene("blue", 28, 10, 0, 0, 1);
    demo_.SetScript("red 1 00:00:00:000\nblue 1 00:00:00:800\n");
    // One second of tone: shorter than the 3.7 s of frames (0 to 36).
    const std::string tone = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 -ar 44100 '" +
                             (demo_.dir / "none.ogg") + "'";
    ASSERT_EQ(std::system(tone.c_str()), 0);
  }
  CaptureOptions Options(const std::string& out) const { return testing::CaptureOf(demo_, out); }
  std::string Run(const std::string& command) {
    const std::string to = demo_.dir / "out.txt";
    EXPECT_EQ(std::system((command + " > '" + to + "'").c_str()), 0) << command;
    return testing::ReadFile(to);
  }
  std::string Probe(const std::string& file, const std::string& stream, const std::string& entries) {
    return Run("ffprobe -v error -select_streams " + stream + " -show_entries " + entries + " -of csv=p=0 '" + file +
               "'");
  }
  testing::TinyDemo demo_;
};

TEST_F(CapturePresetTest, WebIsHighProfileWithSoundAsLongAsThePictures) {
  testing::InDirectory here(demo_.dir.path());
  CaptureOptions whole = Options(demo_.dir / "web.mp4");
  whole.preset = VideoPreset::Web;
  RunCapture(whole);
  EXPECT_EQ(Probe(whole.out, "v:0", "stream=codec_name,profile,pix_fmt,has_b_frames,nb_frames"),
            "h264,High,2,yuv420p,37\n");
  EXPECT_EQ(Probe(whole.out, "a:0", "stream=codec_name,profile,sample_rate"), "aac,LC,48000\n");
  // The music is 1 s; padded with silence to the 3.7 s of pictures.
  EXPECT_NEAR(std::stod(Probe(whole.out, "a:0", "stream=duration")), 3.7, 0.1);
  // Key frames every half second (5 frames), none between.
  EXPECT_EQ(Run("ffprobe -v error -select_streams v:0 -show_entries frame=key_frame -of csv=p=0 '" + whole.out +
                "' | tr -d ',\\n'"),
            "1000010000100001000010000100001000010");
  // The index before the data, so a site can play it as it arrives.
  std::ifstream in(whole.out, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  ASSERT_NE(head.find("moov"), std::string::npos);
  EXPECT_TRUE(head.find("mdat") == std::string::npos || head.find("moov") < head.find("mdat"));

  // Longer music is cut where the pictures end.
  CaptureOptions part = whole;
  part.out = demo_.dir / "part.mp4";
  part.to = 0.5;
  RunCapture(part);
  EXPECT_NEAR(std::stod(Probe(part.out, "a:0", "stream=duration")), 0.6, 0.1);
}

TEST_F(CapturePresetTest, TheArchiveHoldsThePicturesExactly) {
  testing::InDirectory here(demo_.dir.path());
  CaptureOptions archive = Options(demo_.dir / "keep.mkv");
  archive.preset = VideoPreset::Archive;
  archive.width = 33;  // odd sizes stay as they are
  archive.height = 17;
  RunCapture(archive);
  CaptureOptions folder = archive;
  folder.out = demo_.dir / "frames";
  RunCapture(folder);
  const std::string mkv = Run("ffmpeg -v error -i '" + archive.out + "' -map 0:v -f framemd5 -pix_fmt rgb24 - | "
                              "grep -v '^#' | cut -d, -f6");
  const std::string png = Run("ffmpeg -v error -framerate 10 -i '" + folder.out + "/frame-%06d.png' -f framemd5 "
                              "-pix_fmt rgb24 - | grep -v '^#' | cut -d, -f6");
  EXPECT_EQ(std::count(mkv.begin(), mkv.end(), '\n'), 37);
  EXPECT_EQ(mkv, png);
  EXPECT_EQ(Probe(archive.out, "a:0", "stream=codec_name"), "flac\n");
}

TEST_F(CapturePresetTest, AnEncoderThatDiesIsAnError) {
  testing::InDirectory here(demo_.dir.path());
  // An ffmpeg that takes nothing and fails.
  demo_.dir.Write("bin/ffmpeg", "#!/bin/sh\nexit 3\n");
  std::filesystem::permissions(demo_.dir / "bin/ffmpeg", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (demo_.dir / "bin" + (":" + path)).c_str(), 1);
  CaptureOptions options = Options(demo_.dir / "dead.mp4");
  options.width = 320;
  options.height = 240;
  try {
    RunCapture(options);
    ADD_FAILURE() << "a capture whose encoder died reported success";
  } catch (const LoadError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot write " + options.out + ": ffmpeg"), std::string::npos) << e.what();
  }
  setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace stagwerk
