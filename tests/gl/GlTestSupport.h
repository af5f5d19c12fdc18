#pragma once
// A real GL context for drawing tests (Mesa's software renderer through SDL's
// offscreen driver: no display needed), pixel read-back, and small demos
// written to a scratch directory. A test fails, never skips, without a context.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "SceneText.h"
#include "TempDir.h"
#include "gl/GlState.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "objects/MeshDrawing.h"
#include "platform/GlContext.h"
#include "scene/Scene.h"
#include "scene/SceneLoader.h"
#include "textures/Image.h"
#include "textures/TextureCache.h"
#include "textures/TextureUpload.h"

namespace stagwerk::testing {

using Rgba = std::array<int, 4>;

// Keeps the GL driver's libraries loaded to the end of the process, so that
// what the driver itself never frees is reported under its library's name
// (and suppressed as not ours) instead of as an unknown module.
inline void PinGlDriver() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void*) {
        const std::string name = info->dlpi_name;
        for (const char* part : {"_dri.so", "libgallium", "libLLVM", "libEGL", "libGLX", "libglapi", "libGL"}) {
          if (name.find(part) != std::string::npos) {
            dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            break;
          }
        }
        return 0;
      },
      nullptr);
}

class GlTest : public ::testing::Test {
 protected:
  explicit GlTest(int width = 64, int height = 64) : width_(width), height_(height) {}

  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlContextOptions options;
    options.width = width_;
    options.height = height_;
    options.visible = false;
    try {
      gl_ = GlContext::Open(options);
    } catch (const GlContextError& e) {
      FAIL() << "no GL context: " << e.what() << " " << e.reason;
    } catch (const std::exception& e) {
      FAIL() << "no GL context: " << e.what();
    }
    PinGlDriver();
    glViewport(0, 0, width_, height_);
  }

  // Bottom-left origin, as GL counts.
  static Rgba Pixel(int x, int y) {
    unsigned char p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
  }

  int width_;
  int height_;
  std::unique_ptr<GlContext> gl_;
};

// Each channel within tolerance.
inline ::testing::AssertionResult Near(const Rgba& got, const Rgba& want, int tolerance = 3) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (want[i] >= 0 && std::abs(got[i] - want[i]) > tolerance) {
      return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
                                           << got[3] << "), want (" << want[0] << ", " << want[1] << ", "
                                           << want[2] << ", " << want[3] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// A texture uploaded from bytes (rows bottom-up, samples as the cache keeps them).
inline std::unique_ptr<Texture> MakeTexture(int width, int height, int channels, std::vector<unsigned char> pixels) {
  auto texture = std::make_unique<Texture>();
  texture->width = static_cast<uint16_t>(width);
  texture->height = static_cast<uint16_t>(height);
  texture->channels = static_cast<uint8_t>(channels);
  Image image;
  image.width = texture->width;
  image.height = texture->height;
  image.channels = texture->channels;
  image.pixels = std::move(pixels);
  UploadTexture(*texture, image);
  return texture;
}

inline std::unique_ptr<Mesh> MakeMesh(const Kq7Description& d, const TextureLookup& textures = {}) {
  const auto bytes = WriteKq7(d);
  auto mesh = Mesh::Parse(bytes.data(), bytes.size(), "m.lwo", "m.kq7", textures);
  GlMeshHooks().loaded(*mesh);
  return mesh;
}

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

// A demo folder with meshes, pictures and scenes, loaded through caches that
// upload to GL as the player's do. Keep it alive only while the context is.
class GlScenes {
 public:
  GlScenes() : textures_({dir.path().string(), "textures", "scenes"}, false), meshes_({dir.path().string(), "textures", "scenes"}, textures_) {
    textures_.SetHooks(GlTextureHooks());
    meshes_.SetHooks(GlMeshHooks());
  }

  void AddMesh(const std::string& name, const Kq7Description& d) {
    std::filesystem::create_directories(dir.path() / "Objects");
    WriteKq7File(dir / ("Objects/" + name + ".kq7"), d);
  }
  // A white 8 x 8 JPEG named for a light's flare (made with cjpeg).
  void AddWhiteJpeg(const std::string& name) {
    std::filesystem::create_directories(dir.path() / "textures");
    const std::string pgm = dir / "white.pgm";
    std::ofstream(pgm, std::ios::binary) << "P5\n8 8\n255\n" << std::string(64, '\xff');
    const std::string command = "cjpeg -quality 100 -outfile '" + (dir / ("textures/" + name + ".jpg")) + "' '" + pgm + "'";
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
  TextureCache textures_;
  MeshCache meshes_;
  std::vector<std::unique_ptr<Scene>> scenes_;
};

// An object block for a mesh file, at a position, with extra lines before
// ShadowOptions (dissolve, flags, parent ...).
inline std::string ObjectBlock(const std::string& mesh, float x, float y, float z, const std::string& extra = "",
                               const std::string& between = "") {
  return "LoadObjectLayer 1 Objects/" + mesh + ".lwo\nShowObject 6 3\nObjectMotion\n" + Motion9(x, y, z) + between +
         extra + "ShadowOptions 7\n\n";
}

// A camera at the origin looking along +Z with a 90 degree field of view.
inline std::string WideCamera(const std::string& blur = "MotionBlur 0\nFieldRendering 0\n") {
  return CameraBlock("", "ZoomFactor 1\n", blur);
}

}  // namespace stagwerk::testing
