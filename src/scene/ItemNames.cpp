#include "scene/ItemNames.h"

#include <unordered_map>
#include <unordered_set>

#include "scene/Scene.h"

namespace stagwerk {

std::vector<std::string> ItemNames(const Scene& scene) {
  std::vector<std::string> names;
  names.reserve(scene.ItemCount());
  for (const SceneObject& object : scene.objects) names.push_back(object.name);
  for (const Light& light : scene.lights) names.push_back(light.name);
  for (std::size_t i = 0; i < static_cast<std::size_t>(scene.cameras.count()); ++i) names.push_back("Camera");
  // Every name given is unique, even against a file's own "Light (2)".
  std::unordered_set<std::string> given;
  std::unordered_map<std::string, int> next;
  for (std::string& name : names) {
    if (given.insert(name).second) continue;
    int& n = next.try_emplace(name, 2).first->second;
    std::string numbered;
    do numbered = name + " (" + std::to_string(n++) + ")";
    while (!given.insert(numbered).second);
    name = std::move(numbered);
  }
  return names;
}

}  // namespace stagwerk
