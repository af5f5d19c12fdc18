#pragma once
// Loads rootDir/sceneDir/<name>.lws into a Scene, its meshes and textures
// through the shared caches.
#include <memory>
#include <string>

#include "base/DataDirectories.h"
#include "scene/Scene.h"

namespace stagwerk {

class MeshCache;
class SceneReader;
class TextureCache;

std::unique_ptr<Scene> LoadScene(const std::string& name, const DataDirectories& directories, MeshCache& meshes,
                                 TextureCache& textures);
// The same from scene text already in memory.
std::unique_ptr<Scene> ReadScene(const std::string& name, SceneReader& reader, MeshCache& meshes,
                                 TextureCache& textures);

}  // namespace stagwerk
