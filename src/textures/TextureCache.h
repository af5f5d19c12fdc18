#pragma once
// Every texture of the demo, loaded once per distinct path and shared.
#include <functional>
#include <string>

#include "anim/DataDirectories.h"
#include "anim/PointerList.h"
#include "textures/Texture.h"

namespace stagwerk {

struct Image;

// What a renderer does with each texture: make its GPU copy once it is
// decoded and checked, release it at teardown. Left empty, nothing is drawn.
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
  void SetKeepPixels(bool keep) { keepPixels_ = keep; }

  // A texture named without directory or extension, as meshes, flares and
  // the loading picture name them: rootDir/textureDir/name.jpg.
  Texture& FindOrLoad(const std::string& name);
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
