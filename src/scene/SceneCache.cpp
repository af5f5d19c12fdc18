#include "scene/SceneCache.h"

namespace stagwerk {

Scene& SceneCache::FindOrLoad(const std::string& name) {
  for (Scene& scene : scenes_) {
    if (scene.name == name) return scene;
  }
  return scenes_.Append(loader_(name));
}

}  // namespace stagwerk
