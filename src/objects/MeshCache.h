#pragma once
// One Mesh per object file name for the whole run, shared by every object
// and scene that names it.
#include <functional>
#include <string>

#include "base/DataDirectories.h"
#include "base/PointerList.h"
#include "objects/Mesh.h"

namespace stagwerk {

class TextureCache;

// What a renderer does with each mesh: make its GPU copy once it is loaded,
// release it at teardown. Left empty, nothing is drawn.
struct MeshHooks {
  std::function<void(Mesh&)> loaded;
  std::function<void(Mesh&)> release;
};

class MeshCache {
 public:
  MeshCache(const DataDirectories& directories, TextureCache& textures);
  // Releases every mesh through the hooks, head to tail.
  ~MeshCache();
  MeshCache(const MeshCache&) = delete;
  MeshCache& operator=(const MeshCache&) = delete;

  void SetHooks(MeshHooks hooks) { hooks_ = std::move(hooks); }

  // objectPath is the name after "LoadObjectLayer" (e.g. Objects/Ship.lwo),
  // compared exactly; a mesh is kept only once it loaded completely.
  Mesh& FindOrLoad(const std::string& objectPath);
  const PointerList<Mesh>& meshes() const { return meshes_; }

 private:
  DataDirectories directories_;
  TextureCache& textures_;
  MeshHooks hooks_;
  PointerList<Mesh> meshes_;
};

}  // namespace stagwerk
