#pragma once
// A small demo written to a scratch folder: scenes of one backdrop colour
// each, with a white square whose dissolve runs from 0 to 1 over the scene,
// so a picture tells which scene it shows and at what scene time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "SceneText.h"
#include "TempDir.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::testing {

// The player finds its data relative to the working directory.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& path) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~InDirectory() { std::filesystem::current_path(old_); }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

class TinyDemo {
 public:
  // config: "window W H 32 1 1 music data textures scenes show"
  explicit TinyDemo(int width = 64, int height = 64, const std::string& music = "none.ogg") {
    dir.Write("defaultdemoconfig.txt", "window " + std::to_string(width) + " " + std::to_string(height) +
                                           " 32 1 1 " + music + " data textures scenes show\n");
    Kq7Description square;
    square.flags = HasPolygons;
    square.positions = {{-1, -1, 5}, {-1, 1, 5}, {1, 1, 5}, {1, -1, 5}};
    square.polygons = {{0, 1, 2, 3}};
    std::filesystem::create_directories(dir.path() / "data/Objects");
    WriteKq7File(dir / "data/Objects/Square.kq7", square);
    std::filesystem::create_directories(dir.path() / "data/textures");
    const std::string pgm = dir / "grey.pgm";
    std::ofstream(pgm, std::ios::binary) << "P5\n8 8\n255\n" << std::string(64, '\x40');
    const std::string command =
        "cjpeg -outfile '" + (dir / "data/textures/PleaseWaitLoading.jpg") + "' '" + pgm + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }

  // A scene of frames 0 to lastFrame at fps, backdrop (r, g, b), whose
  // square fades out over the whole scene; `extra` lines follow the backdrop.
  void AddScene(const std::string& name, int lastFrame, int fps, float r, float g, float b,
                const std::string& extra = "") {
    const float end = static_cast<float>(lastFrame) / static_cast<float>(fps);
    const std::string text =
        SceneHeader(0, lastFrame, fps) + "BackdropColor " + std::to_string(r) + " " + std::to_string(g) + " " +
        std::to_string(b) + "\n" + extra +
        CameraBlock("", "ZoomFactor 1\n") + "LoadObjectLayer 1 Objects/Square.lwo\nShowObject 6 3\nObjectMotion\n" +
        Motion9() + "ObjectDissolve (envelope)\n" + LinearEnvelope({{0, 0}, {1, end}}) +
        "UnaffectedByFog 1\nShadowOptions 7\n";
    dir.Write("data/scenes/" + name + ".lws", text);
  }
  void SetScript(const std::string& lines) { dir.Write("data/show.txt", lines); }
  std::string config() const { return dir / "defaultdemoconfig.txt"; }

  TempDir dir;
};

}  // namespace stagwerk::testing
