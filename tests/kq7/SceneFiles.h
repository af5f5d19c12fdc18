#pragma once
// kq7 scene's output as the player loads it: a demo data folder, its
// pictures, and the scenes read by the player's own reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "frame/ScenePose.h"
#include "frame/SyncValues.h"
#include "Kq7TestFiles.h"
#include "base/DataDirectories.h"
#include "objects/MeshCache.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

namespace stagwerk::testing {

// An 8 x 8 grey JPEG at path (through cjpeg, as the other tests make them).
inline void WritePicture(const TempDir& dir, const std::string& path) {
  const std::string pgm = dir.Write("grey.pgm", "P5\n8 8\n255\n" + std::string(64, '\x80'));
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string command = "cjpeg -quality 100 -outfile '" + path + "' '" + pgm + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// A scene of a data folder loaded as the player loads it, with its caches.
struct LoadedScene {
  DataDirectories directories;
  TextureCache textures;
  MeshCache meshes;
  std::unique_ptr<Scene> scene;

  explicit LoadedScene(const std::string& data)
      : directories{data, "textures", "scenes"}, textures(directories, false), meshes(directories, textures) {}
};

inline std::unique_ptr<LoadedScene> LoadDemoScene(const std::string& data, const std::string& name) {
  auto loaded = std::make_unique<LoadedScene>(data);
  loaded->scene = LoadScene(name, loaded->directories, loaded->meshes, loaded->textures);
  return loaded;
}

// An item's world matrix at t, as the frame places it.
inline Matrix4 WorldAt(const Scene& scene, const SceneItem& item, float t) {
  ScenePose pose(scene);
  pose.Evaluate(t, SyncValues{});
  pose.Compose(Matrix4{});
  return pose.Placed(item);
}

// A camera's view at t (without the frame's mirror and shake).
inline Matrix4 ViewAt(const Scene& scene, const SceneItem& camera, float t) {
  ScenePose pose(scene);
  pose.Evaluate(t, SyncValues{});
  Matrix4 m;
  pose.ApplyView(m, camera);
  return m;
}

}  // namespace stagwerk::testing
