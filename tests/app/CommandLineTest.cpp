// The program end to end on a copy of the bundled demo.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "TempDir.h"

namespace stagwerk {
namespace {

using testing::ReadFile;
using testing::TempDir;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class CommandLineTest : public ::testing::Test {
 protected:
  CommandLineTest() {
    const std::filesystem::path demo = std::filesystem::path(STAGWERK_TEST_DATA) / "../../demo";
    std::filesystem::copy(demo, dir_.path() / "demo", std::filesystem::copy_options::recursive);
  }

  Outcome Stagwerk(const std::string& args, const std::string& environment = "") {
    const std::string command = "cd '" + (dir_ / "demo") + "' && " + environment + "XDG_CONFIG_HOME='" + (dir_ / "config") + "' '" +
                                STAGWERK_BINARY + "' " + args + " >'" + (dir_ / "out") + "' 2>'" + (dir_ / "err") +
                                "'";
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(dir_ / "out");
    run.err = ReadFile(dir_ / "err");
    return run;
  }

  std::string SettingsFile() { return dir_ / "config/Brelinth/Stagwerk/Ombrisalte.conf"; }

  TempDir dir_;
};

TEST_F(CommandLineTest, CheckLoadsTheDemoAndSummarisesIt) {
  const Outcome run = Stagwerk("--check");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find("Loading scene dawn\nLoading scene forge\nLoading scene tunnel\n"), 0u) << run.out;
  EXPECT_NE(run.out.find("  2. 00:00:08:000  forge  camera 1  scene time 0.000 s to 8.000 s\n"), std::string::npos);
  EXPECT_NE(run.out.find("  4. 00:00:24:000  tunnel  camera 2"), std::string::npos);
  EXPECT_NE(run.out.find("dawn: 7 objects, 2 lights (2 lit, 1 with flares), 1 camera, frames 0 to 300 at 30 fps"),
            std::string::npos);
  EXPECT_NE(run.out.find("Objects/Blob.lwo: 693 vertices, 640 polygons, 2 morph targets"), std::string::npos);
  EXPECT_NE(run.out.find("data/textures/Spark.jpg: 64 x 64, 4 channels"), std::string::npos);  // with its opacity
  EXPECT_NE(run.out.find("data/textures/Sky.tga: 256 x 256, 3 channels"), std::string::npos);
  // A validation run leaves the settings alone.
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(CommandLineTest, LoadingFailuresAreReportedWithStatusOne) {
  Outcome run = Stagwerk("--check missing.txt");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Loading Error: Cannot load file missing.txt from directory\n");

  std::filesystem::path scene = dir_.path() / "demo/data/scenes/tunnel.lws";
  std::string text = ReadFile(scene.string());
  text.replace(0, 4, "LWSX");
  dir_.Write("demo/data/scenes/tunnel.lws", text);
  run = Stagwerk("--check");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Loading Error: Not LW Scene File\n");
  EXPECT_NE(run.out.find("Loading scene tunnel\n"), std::string::npos);  // progress up to the failure

  std::filesystem::remove(dir_.path() / "demo/data/textures/PleaseWaitLoading.jpg");
  // A GL driver loaded and unloaded by the child leaks under no name we could
  // suppress; the in-process tests check our own teardown for leaks.
  run = Stagwerk("--render intro --at 1 --out x.png", "ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen ");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Loading Error: Cannot JPEG readparams\n");
}

TEST_F(CommandLineTest, DumpGivesTheModelAndPlacements) {
  const Outcome run = Stagwerk("--dump --at 0 --at 2 defaultdemoconfig.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json dump = nlohmann::json::parse(run.out);
  EXPECT_EQ(dump["configuration"]["scriptName"], "demo");
  EXPECT_EQ(dump["entries"].size(), 6u);
  const nlohmann::json& dawn = dump["scenes"][0];
  EXPECT_EQ(dawn["lights"][0]["flare"]["texture"], "data/textures/Sun.jpg");
  EXPECT_NEAR(dawn["frames"][0]["cameras"][0]["fieldOfView"].get<double>(), 48.888, 1e-3);  // zoom 2.2
  EXPECT_EQ(dawn["frames"][0]["cameras"][0]["farPlane"], 130.0);
  const nlohmann::json& forge = dump["scenes"][1];
  EXPECT_EQ(forge["lights"][0]["parent"]["kind"], "object");
  EXPECT_EQ(forge["objects"][4]["dissolve"], "never drawn");
  EXPECT_EQ(forge["objects"][5]["morphTarget"], 5);
  ASSERT_EQ(forge["frames"].size(), 2u);
  // The lamps' null turns a full circle in 4 s: half a turn at 2 s.
  const nlohmann::json& orbit = forge["frames"][1]["objects"][0]["world"];
  EXPECT_NEAR(orbit[0].get<double>(), -1.0, 1e-5);
  EXPECT_NEAR(orbit[10].get<double>(), -1.0, 1e-5);
  // The tunnel's light rides 95 units ahead of a null flying 10 units a second.
  const nlohmann::json& tunnel = dump["scenes"][2]["frames"][1];
  EXPECT_NEAR(tunnel["lights"][0]["world"][14].get<double>(), 115.0, 1e-4);
  EXPECT_NEAR(tunnel["cameras"][0]["blurFade"].get<double>(), 0.4, 1e-5);
}

TEST_F(CommandLineTest, OptionsAndThePlainRun) {
  Outcome run = Stagwerk("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Usage: stagwerk [options] [CONFIG]"), std::string::npos);
  EXPECT_EQ(Stagwerk("--frobnicate").status, 2);
  EXPECT_EQ(Stagwerk("--at 1").status, 2);
  EXPECT_EQ(Stagwerk("--dump --at soon").status, 2);
  EXPECT_EQ(Stagwerk("a.txt b.txt").status, 2);
  EXPECT_EQ(Stagwerk("--version").out.rfind("stagwerk ", 0), 0u);

  EXPECT_EQ(Stagwerk("--capture out --render intro --at 1 --out x.png").status, 2);
  EXPECT_EQ(Stagwerk("--fps 30").status, 2);
  EXPECT_EQ(Stagwerk("--capture out --fps 60/0").status, 2);
  EXPECT_EQ(Stagwerk("--render intro --at 1 --out x.png --overlay").status, 2);  // stills never have it
  EXPECT_EQ(Stagwerk("--capture out --from 5 --to 2").status, 2);
  for (const char* segment : {"0/2", "3/2", "2", "1/x"}) {
    EXPECT_EQ(Stagwerk(std::string("--capture out --segment ") + segment).status, 2) << segment;
  }
  EXPECT_EQ(Stagwerk("--capture out --segment 1/2 --capture-jobs 2").status, 2);
  EXPECT_EQ(Stagwerk("--capture out.webm --preset web").status, 2);
  EXPECT_EQ(Stagwerk("--capture out.mp4 --preset archive").status, 2);

  // A plain run stores the display settings, then finds no display to
  // play on (none is named here) and says what to do instead.
  run = Stagwerk("", "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--capture"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(SettingsFile()), "Fullscreen=0\nDepth=32\nHeight=600\nWidth=800\n");
}

}  // namespace
}  // namespace stagwerk
