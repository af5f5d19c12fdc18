#include "objects/MeshCache.h"

#include "textures/TextureCache.h"

namespace stagwerk {

MeshCache::MeshCache(const DataDirectories& directories, TextureCache& textures)
    : directories_(directories), textures_(textures) {}

Mesh& MeshCache::FindOrLoad(const std::string& objectPath) {
  for (Mesh& mesh : meshes_) {
    if (mesh.name() == objectPath) return mesh;
  }
  const TextureLookup lookup = [this](const std::string& name) { return &textures_.FindOrLoad(name); };
  return meshes_.Append(Mesh::Load(objectPath, lookup, directories_.rootDir));
}

}  // namespace stagwerk
