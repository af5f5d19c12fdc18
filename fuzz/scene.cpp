// Scene files through the scene loader and every block reader, against a
// data directory holding one mesh with morph targets and two bones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "anim/LoadError.h"
#include "anim/SceneReader.h"
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
    // Place everything once, as a frame would.
    for (float t : {0.0f, 1.5f}) {
      scene->InvalidateItemTransforms();
      for (stagwerk::SceneObject& object : scene->objects) {
        stagwerk::Matrix4 m;
        stagwerk::ApplyItemTransform(m, object, t);
      }
      for (stagwerk::Light& light : scene->lights) {
        stagwerk::Matrix4 m;
        stagwerk::ApplyItemTransform(m, light, t);
      }
      for (stagwerk::Camera& camera : scene->cameras) {
        stagwerk::Matrix4 m;
        stagwerk::ApplyViewTransform(m, camera, t);
        (void)stagwerk::CameraFieldOfView(camera, t);
      }
    }
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
