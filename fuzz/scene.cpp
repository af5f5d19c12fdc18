// Scene files through the scene loader and every block reader, against a
// data directory holding one mesh with morph targets and two bones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "frame/FrameBuilder.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

namespace {

std::string MakeDataDirectory() {
  char pattern[] = "/tmp/stagwerk-fuzz-scene-XXXXXX";
  const std::string root = ::mkdtemp(pattern);
  std::filesystem::create_directories(root + "/Objects");
  stagwerk::Kq7Description mesh;
  mesh.flags = stagwerk::HasPolygons | stagwerk::AllTriangles | stagwerk::HasMorphTargets | stagwerk::HasBones;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.polygons = {{0, 1, 2}};
  mesh.morphTargets = {{{0, 0, 1, 2}}, {{1, 0, 0, 1}}};
  mesh.boneVertexData = {0, 0, 0};
  mesh.polygonBones = {1};
  stagwerk::WriteKq7File(root + "/Objects/A.kq7", mesh);
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = MakeDataDirectory();
  const stagwerk::DataDirectories directories{root, "textures", "scenes"};
  stagwerk::TextureCache textures(directories, false);
  stagwerk::MeshCache meshes(directories, textures);
  stagwerk::SceneReader reader(data, static_cast<uint32_t>(size));
  try {
    auto scene = stagwerk::ReadScene("fuzz", reader, meshes, textures);
    // Build frames through every camera, as playback would.
    stagwerk::FrameBuilder frames(4.0f / 3.0f);
    frames.ActivateScene(*scene);
    for (const stagwerk::Camera& camera : scene->cameras) {
      for (float t : {0.0f, 1.5f}) (void)frames.Build(*scene, t, camera);
    }
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
