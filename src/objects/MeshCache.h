#pragma once
// One Mesh per object file name for the whole run, shared by every object
// and scene that names it.
#include <string>

#include "anim/DataDirectories.h"
#include "anim/PointerList.h"
#include "objects/Mesh.h"

namespace stagwerk {

class TextureCache;

class MeshCache {
 public:
  MeshCache(const DataDirectories& directories, TextureCache& textures);

  // objectPath is the name after "LoadObjectLayer" (e.g. Objects/Ship.lwo),
  // compared exactly; a mesh is kept only once it loaded completely.
  Mesh& FindOrLoad(const std::string& objectPath);
  const PointerList<Mesh>& meshes() const { return meshes_; }

 private:
  DataDirectories directories_;
  TextureCache& textures_;
  PointerList<Mesh> meshes_;
};

}  // namespace stagwerk
