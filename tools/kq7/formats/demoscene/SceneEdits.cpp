#include "kq7/formats/demoscene/SceneEdits.h"

#include <functional>

#include "anim/ItemRef.h"
#include "base/SceneReader.h"

namespace stagwerk::kq7 {

namespace {

// Every link of the scene, items' and bones'.
void ForEachLink(DemoScene& scene, const std::function<void(ItemLink&)>& f) {
  auto optional = [&](std::optional<ItemLink>& link) {
    if (link) f(*link);
  };
  for (DemoObject& o : scene.objects) {
    optional(o.parent);
    for (DemoBone& b : o.bones) f(b.parent);
  }
  for (DemoLight& l : scene.lights) optional(l.parent);
  for (DemoCamera& c : scene.cameras) optional(c.parent);
}

std::string OneWord(const std::string& name) {
  std::string word = name;
  for (char& c : word) {
    if (!IsTokenChar(static_cast<unsigned char>(c))) c = '_';
  }
  return word;
}

}  // namespace

std::vector<std::string> MakeNull(DemoScene& scene, std::size_t index, const std::string& name) {
  std::vector<std::string> notes;
  DemoObject& o = scene.objects[index];
  if (!o.bones.empty()) notes.push_back("its " + std::to_string(o.bones.size()) + " bones are dropped");
  if (o.morphAmount || !o.mixer.empty()) notes.push_back("its morph is dropped");
  o.mesh.clear();
  o.nullName = name;
  o.bones.clear();
  o.boneFalloff.reset();
  o.morphAmount.reset();
  o.morphTarget = -1;
  o.mixer.clear();
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    DemoObject& other = scene.objects[i];
    if (other.morphTarget != static_cast<int32_t>(index) + 1) continue;
    other.morphTarget = -1;
    other.morphAmount.reset();
    notes.push_back("object " + std::to_string(i + 1) + " (" + other.label + ") no longer morphs towards it");
  }
  return notes;
}

std::optional<std::size_t> FindCamera(const DemoScene& scene, const std::string& name) {
  const std::string word = OneWord(name);
  for (std::size_t i = 0; i < scene.cameras.size(); ++i) {
    if (scene.cameras[i].name == name || scene.cameras[i].name == word) return i;
  }
  for (std::size_t i = 0; i < scene.cameras.size(); ++i) {
    const std::optional<ItemLink>& parent = scene.cameras[i].parent;
    if (!parent || parent->kind != ItemRef::kObject || parent->index >= scene.objects.size()) continue;
    const DemoObject& o = scene.objects[parent->index];
    if (o.nullName == name || o.nullName == word) return i;
  }
  return std::nullopt;
}

void MoveCameraFirst(DemoScene& scene, std::size_t index) {
  if (index == 0 || index >= scene.cameras.size()) return;
  DemoCamera chosen = std::move(scene.cameras[index]);
  scene.cameras.erase(scene.cameras.begin() + static_cast<std::ptrdiff_t>(index));
  scene.cameras.insert(scene.cameras.begin(), std::move(chosen));
  ForEachLink(scene, [&](ItemLink& link) {
    if (link.kind != ItemRef::kCamera || link.index > index) return;
    link.index = link.index == index ? 0 : static_cast<uint16_t>(link.index + 1);
  });
}

}  // namespace stagwerk::kq7
