#pragma once
// A demo folder made by a test: meshes, pictures and scene texts, loaded
// through the player's own caches. Textures get handles as a renderer would
// give them, 1, 2, 3 ... in load order, so draws can be told apart by them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "SceneText.h"
#include "TempDir.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "scene/Scene.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

namespace stagwerk::testing {

// A square of side 2 s in the plane z, centred on (x, y), clockwise as seen
// from a camera looking along +Z: its front faces that camera.
inline Kq7Description Square(float s = 1, float z = 0, float x = 0, float y = 0) {
  Kq7Description d;
  d.flags = HasPolygons;
  d.positions = {{x - s, y - s, z}, {x - s, y + s, z}, {x + s, y + s, z}, {x + s, y - s, z}};
  d.polygons = {{0, 1, 2, 3}};
  return d;
}

// An uncompressed TGA of one colour (blue, green, red[, alpha]).
inline std::string SolidTga(int width, int height, std::vector<unsigned char> sample) {
  std::string file(18, '\0');
  file[2] = sample.size() == 1 ? 3 : 2;
  file[12] = static_cast<char>(width);
  file[13] = static_cast<char>(width >> 8);
  file[14] = static_cast<char>(height);
  file[15] = static_cast<char>(height >> 8);
  file[16] = static_cast<char>(8 * sample.size());
  for (int i = 0; i < width * height; ++i) file.append(sample.begin(), sample.end());
  return file;
}

// An object block for a mesh file, at a position, with extra lines before
// ShadowOptions (dissolve, flags ...) and lines after the motion (parent).
inline std::string ObjectBlock(const std::string& mesh, float x, float y, float z, const std::string& extra = "",
                               const std::string& between = "") {
  return "LoadObjectLayer 1 Objects/" + mesh + ".lwo\nShowObject 6 3\nObjectMotion\n" + Motion9(x, y, z) + between +
         extra + "ShadowOptions 7\n\n";
}

// A camera at the origin looking along +Z with a 90 degree field of view.
inline std::string WideCamera(const std::string& blur = "MotionBlur 0\nFieldRendering 0\n") {
  return CameraBlock("", "ZoomFactor 1\n", blur);
}

class SceneFolder {
 public:
  SceneFolder()
      : textures_({dir.path().string(), "textures", "scenes"}, false),
        meshes_({dir.path().string(), "textures", "scenes"}, textures_) {
    textures_.SetHooks({[this](Texture& texture, const Image&) { texture.renderHandle = ++handles_; }, {}, {}});
  }
  virtual ~SceneFolder() = default;

  void AddMesh(const std::string& name, const Kq7Description& d) {
    std::filesystem::create_directories(dir.path() / "Objects");
    WriteKq7File(dir / ("Objects/" + name + ".kq7"), d);
  }
  // A white 8 x 8 JPEG named for a light's flare or a mesh's texture.
  void AddWhiteJpeg(const std::string& name) {
    std::filesystem::create_directories(dir.path() / "textures");
    const std::string pgm = dir / "white.pgm";
    std::ofstream(pgm, std::ios::binary) << "P5\n8 8\n255\n" << std::string(64, '\xff');
    const std::string command =
        "cjpeg -quality 100 -outfile '" + (dir / ("textures/" + name + ".jpg")) + "' '" + pgm + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  Scene& Load(const std::string& text) {
    const std::string name = "s" + std::to_string(scenes_.size());
    dir.Write("scenes/" + name + ".lws", text);
    scenes_.push_back(LoadScene(name, {dir.path().string(), "textures", "scenes"}, meshes_, textures_));
    return *scenes_.back();
  }
  TextureCache& textures() { return textures_; }
  MeshCache& meshes() { return meshes_; }

  TempDir dir;

 private:
  uint32_t handles_ = 0;
  TextureCache textures_;
  MeshCache meshes_;
  std::vector<std::unique_ptr<Scene>> scenes_;
};

}  // namespace stagwerk::testing
