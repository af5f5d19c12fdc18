#pragma once
// Every texture of the demo, loaded once per distinct path and shared.
#include <functional>
#include <string>

#include "anim/DataDirectories.h"
#include "anim/PointerList.h"
#include "anim/SceneReader.h"
#include "textures/Texture.h"

namespace stagwerk {

struct Image;

// What the GL layer does with each texture: upload it once it is decoded and
// checked, delete it at teardown. Left empty, the cache stays GL-free.
struct TextureHooks {
  std::function<void(Texture&, const Image&)> upload;
  std::function<void(Texture&)> release;
};

class TextureCache {
 public:
  // keepPixels false drops each picture once it is checked (a validation run
  // only needs sizes); true keeps them for upload and inspection.
  explicit TextureCache(const DataDirectories& directories, bool keepPixels = true);
  // Releases every texture through the hooks, head to tail.
  ~TextureCache();
  TextureCache(const TextureCache&) = delete;
  TextureCache& operator=(const TextureCache&) = delete;

  void SetHooks(TextureHooks hooks) { hooks_ = std::move(hooks); }

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
  TextureHooks hooks_;
  PointerList<Texture> textures_;
};

}  // namespace stagwerk
