// A converted OBJ drawn by the player itself: what faced the modeller's
// camera must face the player's camera, or back-face culling hides it.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Kq7TestFiles.h"
#include "PngFile.h"
#include "SceneText.h"

namespace stagwerk::testing {
namespace {

// A 64 x 64 demo whose one scene shows Objects/Quad at z = +5 in front of a
// camera at the origin looking along +Z, with a 90 degree field of view.
void WriteDemo(const TempDir& dir) {
  dir.Write("demo/defaultdemoconfig.txt", "window 64 64 32 1 1 none.ogg data textures scenes show\n");
  dir.Write("demo/data/show.txt", "quad 1 00:00:00:000\n");
  // The player will not start without its loading picture.
  const std::string pgm = dir.Write("grey.pgm", "P5\n8 8\n255\n" + std::string(64, '\x80'));
  std::filesystem::create_directories(dir.path() / "demo/data/textures");
  std::filesystem::create_directories(dir.path() / "demo/data/Objects");
  const std::string command = "cjpeg -quality 100 -outfile '" + (dir / "demo/data/textures/PleaseWaitLoading.jpg") +
                              "' '" + pgm + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  // Unlit, so the quad draws white whatever the lights.
  dir.Write("demo/data/scenes/quad.lws", SceneHeader() + CameraBlock("", "ZoomFactor 1\n") +
                                             "LoadObjectLayer 1 Objects/Quad.lwo\nShowObject 6 3\nObjectMotion\n" +
                                             Motion9(0, 0, 5) + "UnaffectedByFog 1\nShadowOptions 7\n\n");
}

// Converts an OBJ of one face into the demo and renders its first frame.
Picture DrawConvertedFace(const TempDir& dir, const std::string& face) {
  const std::string obj = dir.Write("Quad.obj", "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n" + face + "\n");
  const ToolRun run = RunTool({"convert", obj, dir / "demo/data/Objects/Quad.kq7"});
  if (run.status != 0) {
    ADD_FAILURE() << run.err;
    return {};
  }
  const std::string out = dir / "quad.png";
  std::filesystem::remove(out);
  // The driver the child loads leaks on its own; leaks are checked in-process elsewhere.
  const std::string command = "cd '" + (dir / "demo") +
                              "' && SDL_VIDEODRIVER=offscreen DISPLAY= ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                              dir.path().string() + "' '" STAGWERK_BINARY "' --render quad --at 0 --size 64x64 --out '" +
                              out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadPng(out);
}

using Rgb = std::array<int, 3>;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// A quad counter-clockwise seen from +Z faces a right-handed modeller's
// camera; the player draws it white in the middle of the frame, 2 units wide
// at 5 units with a 90 degree view: pixels 26 to 38 of 64. The same quad
// wound the other way faces away, and is culled.
TEST(Kq7Picture, QuadFacingTheModellersCameraIsDrawnAndItsBackIsCulled) {
  TempDir dir;
  WriteDemo(dir);
  ASSERT_FALSE(HasFailure());

  const Picture front = DrawConvertedFace(dir, "f 1 2 3 4");
  ASSERT_EQ(front.width, 64);
  ASSERT_EQ(front.height, 64);
  EXPECT_EQ(front.At(32, 32), kWhite);
  EXPECT_EQ(front.At(28, 28), kWhite);
  EXPECT_EQ(front.At(36, 36), kWhite);
  EXPECT_EQ(front.At(0, 0), kBlack);
  EXPECT_EQ(front.At(63, 63), kBlack);
  EXPECT_EQ(front.At(44, 32), kBlack);  // outside the quad's right edge
  EXPECT_EQ(front.At(32, 20), kBlack);  // above its top edge

  const Picture back = DrawConvertedFace(dir, "f 4 3 2 1");
  ASSERT_EQ(back.width, 64);
  ASSERT_EQ(back.height, 64);
  EXPECT_EQ(back.At(32, 32), kBlack);
  EXPECT_EQ(back.At(28, 28), kBlack);
  EXPECT_EQ(back.At(0, 0), kBlack);
}

}  // namespace
}  // namespace stagwerk::testing
