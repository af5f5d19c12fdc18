#pragma once
// What the player would load from a KQ7 file, for people and for scripts.
#include <string>

#include <nlohmann/json.hpp>

#include "objects/Mesh.h"

namespace stagwerk::kq7 {

struct Kq7File {
  std::string path;
  std::unique_ptr<Mesh> mesh;
  // The mesh keeps one name for its second texture slot; a file with both
  // an environment map and a second texture names both.
  std::string environmentMap;
};

// Reads path as the player does (textures are named, not loaded). Throws
// the player's LoadError for a broken file.
Kq7File ReadKq7(const std::string& path);

std::string DescribeMesh(const Kq7File& file);
nlohmann::json MeshJson(const Kq7File& file);

}  // namespace stagwerk::kq7
