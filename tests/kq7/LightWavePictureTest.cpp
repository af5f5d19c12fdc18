// LightWave objects with projection-mapped images, converted by kq7 and
// drawn by the player itself: the image must come out as LightWave shows it
// from its front view, upright and not mirrored.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>

#include "Kq7TestFiles.h"
#include "LightWaveFiles.h"
#include "PngFile.h"
#include "SceneText.h"

namespace stagwerk::testing {
namespace {

using namespace lwo;
using Rgb = std::array<int, 3>;

constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};

// A 64 x 64 demo showing Objects/Thing, unlit, at z = +5 in front of a camera
// at the origin looking along +Z with a 90 degree field of view; its
// texture Quads.jpg is red at the top left, green at the top right, blue at
// the bottom left and yellow at the bottom right.
void WriteDemo(const TempDir& dir) {
  dir.Write("demo/defaultdemoconfig.txt", "window 64 64 32 1 1 none.ogg data textures scenes show\n");
  dir.Write("demo/data/show.txt", "thing 1 00:00:00:000\n");
  std::filesystem::create_directories(dir.path() / "demo/data/textures");
  std::filesystem::create_directories(dir.path() / "demo/data/Objects");
  const auto jpeg = [&](const std::string& ppm, const std::string& name) {
    const std::string command = "cjpeg -quality 100 -sample 1x1 -outfile '" + (dir / ("demo/data/textures/" + name)) +
                                "' '" + ppm + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  };
  // The player will not start without its loading picture.
  jpeg(dir.Write("grey.ppm", "P6\n8 8\n255\n" + std::string(3 * 64, '\x80')), "PleaseWaitLoading.jpg");
  std::string pixels;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const Rgb c = y < 4 ? (x < 4 ? kRed : kGreen) : (x < 4 ? kBlue : kYellow);
      for (int k : c) pixels += static_cast<char>(k);
    }
  }
  jpeg(dir.Write("quads.ppm", "P6\n8 8\n255\n" + pixels), "Quads.jpg");
  dir.Write("demo/data/scenes/thing.lws", SceneHeader() + CameraBlock("", "ZoomFactor 1\n") +
                                              "LoadObjectLayer 1 Objects/Thing.lwo\nShowObject 6 3\nObjectMotion\n" +
                                              Motion9(0, 0, 5) + "UnaffectedByFog 1\nShadowOptions 7\n\n");
}

Picture Draw(const TempDir& dir, const std::string& object) {
  const std::string in = dir.Write("Thing.lwo", object);
  const ToolRun run = RunTool({"convert", in, dir / "demo/data/Objects/Thing.kq7"});
  if (run.status != 0) {
    ADD_FAILURE() << run.err;
    return {};
  }
  const std::string out = dir / "thing.png";
  std::filesystem::remove(out);
  const std::string command = "cd '" + (dir / "demo") +
                              "' && SDL_VIDEODRIVER=offscreen DISPLAY= ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                              dir.path().string() + "' '" STAGWERK_BINARY
                              "' --render thing --at 0 --size 64x64 --out '" + out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadPng(out);
}

void ExpectColour(const Picture& picture, int x, int y, const Rgb& expected, const std::string& where) {
  const Rgb got = picture.At(x, y);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(got[static_cast<std::size_t>(k)], expected[static_cast<std::size_t>(k)], 60)
        << where << " at (" << x << ", " << y << ")";
  }
}

// The four quarters of the picture on screen where they are in the image.
void ExpectQuarters(const Picture& picture, int left, int right, int top, int bottom) {
  ASSERT_EQ(picture.width, 64);
  ExpectColour(picture, left, top, kRed, "top left");
  ExpectColour(picture, right, top, kGreen, "top right");
  ExpectColour(picture, left, bottom, kBlue, "bottom left");
  ExpectColour(picture, right, bottom, kYellow, "bottom right");
}

// A planar map along Z on a 4 x 4 quad facing the camera (clockwise seen
// from -Z, as LightWave winds a polygon facing there): 4/5 of the view's
// half-width, pixels 19 to 45.
TEST(Kq7LightWavePicture, PlanarImageIsUprightAndUnmirrored) {
  TempDir dir;
  WriteDemo(dir);
  ASSERT_FALSE(HasFailure());
  const ImageBlock planar = Projected(0, 2, {4, 4, 1});
  const Picture picture = Draw(
      dir, Lwo2(Tags({"Sign"}) + Layr(0, {0, 0, 0}, "") + Pnts({{-2, -2, 0}, {-2, 2, 0}, {2, 2, 0}, {2, -2, 0}}) +
                Pols({{0, 1, 2, 3}}) + Ptag({0}) + Clip(1, "Images/Quads.iff") +
                Surf("Sign", {1, 1, 1}, Blok(planar))));
  ExpectQuarters(picture, 25, 39, 25, 39);
}

// A cylinder about Y, radius 1.5, its quads facing out: from the front the
// camera sees the image's middle, the left half of the image on the left.
TEST(Kq7LightWavePicture, CylinderShowsTheImageMiddleToTheFront) {
  TempDir dir;
  WriteDemo(dir);
  ASSERT_FALSE(HasFailure());
  std::vector<Point> points;
  for (int ring = 0; ring < 2; ++ring) {
    for (int k = 0; k < 16; ++k) {
      const double heading = k * std::numbers::pi / 8;
      points.push_back({static_cast<float>(1.5 * std::sin(heading)), ring == 0 ? -2.0f : 2.0f,
                        static_cast<float>(1.5 * std::cos(heading))});
    }
  }
  std::vector<std::vector<uint32_t>> quads;
  for (uint32_t k = 0; k < 16; ++k) quads.push_back({k, (k + 1) % 16, 16 + (k + 1) % 16, 16 + k});
  const ImageBlock can = Projected(1, 1, {3, 4, 3});
  const Picture picture =
      Draw(dir, Lwo2(Tags({"Can"}) + Layr(0, {0, 0, 0}, "") + Pnts(points) + Pols(quads) +
                     Ptag(std::vector<uint16_t>(16, 0)) + Clip(1, "Quads.png") + Surf("Can", {1, 1, 1}, Blok(can))));
  ExpectQuarters(picture, 27, 37, 22, 42);
}

}  // namespace
}  // namespace stagwerk::testing
