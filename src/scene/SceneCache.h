#pragma once
// Scenes by the name the demo script gives them: each is loaded once, on
// first request, and shared by every entry that names it.
#include <functional>
#include <memory>
#include <string>

#include "base/PointerList.h"
#include "scene/Scene.h"

namespace stagwerk {

class SceneCache {
 public:
  using Loader = std::function<std::unique_ptr<Scene>(const std::string& name)>;

  explicit SceneCache(Loader loader) : loader_(std::move(loader)) {}

  // Exact, case-sensitive lookup; a scene is appended only once it loaded
  // completely, so a failed load leaves nothing behind.
  Scene& FindOrLoad(const std::string& name);
  const PointerList<Scene>& scenes() const { return scenes_; }

 private:
  Loader loader_;
  PointerList<Scene> scenes_;
};

}  // namespace stagwerk
