#include "objects/MeshCache.h"

#include "textures/TextureCache.h"

namespace stagwerk {

MeshCache::MeshCache(const DataDirectories& directories, TextureCache& textures)
    : directories_(directories), textures_(textures) {}

MeshCache::~MeshCache() {
  if (!hooks_.release) return;
  for (Mesh& mesh : meshes_) hooks_.release(mesh);
}

Mesh& MeshCache::FindOrLoad(const std::string& objectPath) {
  for (Mesh& mesh : meshes_) {
    if (mesh.name() == objectPath) return mesh;
  }
  const TextureLookup lookup = [this](const std::string& name) { return &textures_.FindOrLoad(name); };
  std::unique_ptr<Mesh> mesh = Mesh::Load(objectPath, lookup, directories_.rootDir);
  if (hooks_.loaded) hooks_.loaded(*mesh);
  return meshes_.Append(std::move(mesh));
}

}  // namespace stagwerk
