#pragma once
// Every texture of the demo, loaded once per distinct path and shared.
#include <string>

#include "anim/DataDirectories.h"
#include "anim/PointerList.h"
#include "anim/SceneReader.h"
#include "textures/Texture.h"

namespace stagwerk {

class TextureCache {
 public:
  // keepPixels false drops each picture once it is checked (a validation run
  // only needs sizes); true keeps them for upload and inspection.
  explicit TextureCache(const DataDirectories& directories, bool keepPixels = true);

  // A texture named without directory or extension, as meshes, flares and
  // the loading picture name them: rootDir/textureDir/name.jpg.
  Texture& FindOrLoad(const std::string& name);
  // Right after "BGImage" or "FGImage": skips 4 tokens, reads the quoted file
  // name and loads rootDir/<name without its first and last character>.
  Texture& FindOrLoadFromScene(SceneReader& reader);
  // By full path, the cache's key: compared byte for byte.
  Texture& FindOrLoadPath(const std::string& path);

  std::string NamePath(const std::string& name) const;
  std::string ScenePath(const std::string& relative) const;

  const PointerList<Texture>& textures() const { return textures_; }

 private:
  DataDirectories directories_;
  bool keepPixels_;
  PointerList<Texture> textures_;
};

}  // namespace stagwerk
