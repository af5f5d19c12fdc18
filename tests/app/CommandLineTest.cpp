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
  EXPECT_EQ(run.out.find("Loading scene intro\nLoading scene tunnel\n"), 0u) << run.out;
  EXPECT_NE(run.out.find("  2. 00:00:06:000  tunnel  camera 1  scene time 0.000 s to 6.000 s\n"), std::string::npos);
  EXPECT_NE(run.out.find("  3. 00:00:12:000  intro  camera 2"), std::string::npos);
  EXPECT_NE(run.out.find("intro: 5 objects, 2 lights (2 lit, 1 with flares), 2 cameras, frames 1 to 240 at 30 fps"),
            std::string::npos);
  EXPECT_NE(run.out.find("Objects/Ring.lwo: 48 vertices, 24 polygons, 1 morph target"), std::string::npos);
  EXPECT_NE(run.out.find("data/textures/Sun.jpg: 64 x 64, 4 channels"), std::string::npos);
  EXPECT_NE(run.out.find("data/textures/Sky.tga: 64 x 32, 3 channels"), std::string::npos);
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
  run = Stagwerk("--render intro --at 1 --out x.png", "SDL_VIDEODRIVER=offscreen ");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Loading Error: Cannot JPEG readparams\n");
}

TEST_F(CommandLineTest, DumpGivesTheModelAndPlacements) {
  const Outcome run = Stagwerk("--dump --at 0 --at 2 defaultdemoconfig.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json dump = nlohmann::json::parse(run.out);
  EXPECT_EQ(dump["configuration"]["scriptName"], "intro");
  EXPECT_EQ(dump["entries"].size(), 3u);
  const nlohmann::json& intro = dump["scenes"][0];
  EXPECT_EQ(intro["objects"][1]["parent"]["kind"], "object");
  EXPECT_EQ(intro["objects"][2]["morphTarget"], 4);
  EXPECT_EQ(intro["objects"][3]["dissolve"], "never drawn");
  EXPECT_EQ(intro["lights"][0]["flare"]["texture"], "data/textures/Sun.jpg");
  ASSERT_EQ(intro["frames"].size(), 2u);
  // The pivot turns a full circle in 4 s: half a turn at 2 s. The cube sits
  // at its centre, so its origin stays at the pivot's.
  const nlohmann::json& pivot = intro["frames"][1]["objects"][0]["world"];
  EXPECT_NEAR(pivot[0].get<double>(), -1.0, 1e-5);
  EXPECT_NEAR(pivot[10].get<double>(), -1.0, 1e-5);
  EXPECT_NEAR(intro["frames"][0]["cameras"][0]["fieldOfView"].get<double>(), 34.708, 1e-3);
  EXPECT_EQ(intro["frames"][0]["cameras"][0]["farPlane"], 120.0);
  // The camera dollies from z -8 to -6 over 8 s: at 2 s it stands at -7.5.
  EXPECT_NEAR(intro["frames"][1]["cameras"][0]["view"][14].get<double>(), 7.5, 1e-5);
  EXPECT_NEAR(dump["scenes"][1]["frames"][1]["lights"][0]["intensity"].get<double>(), 2.0 / 3.0, 1e-5);
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
  EXPECT_EQ(Stagwerk("--capture out --from 5 --to 2").status, 2);

  // A plain run stores the display settings, then finds no display to
  // play on (none is named here) and says what to do instead.
  run = Stagwerk("", "env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--capture"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(SettingsFile()), "Fullscreen=0\nDepth=32\nHeight=600\nWidth=800\n");
}

}  // namespace
}  // namespace stagwerk
