#include "scene/Scene.h"

#include "anim/LoadError.h"

namespace stagwerk {

namespace {

std::string Describe(const char* kind, std::size_t index) { return std::string(kind) + " " + std::to_string(index + 1); }

}  // namespace

void Scene::ComputeFrameTimes() {
  if (framesPerSecond == 0) throw LoadError("Scene " + name + ": FramesPerSecond is 0");
  const float rate = static_cast<float>(framesPerSecond);
  sceneStart = static_cast<float>(firstFrame) / rate;
  sceneEnd = static_cast<float>(lastFrame) / rate;
  frameDuration = 1.0f / rate;
}

void Scene::ResolveLinks() {
  auto resolveParent = [this](SceneItem& item, const std::string& label) {
    if (!item.parentRef) return;
    const ItemRef& ref = *item.parentRef;
    SceneItem* parent = nullptr;
    const char* kind = nullptr;
    switch (ref.kind) {
      case ItemRef::kObject: parent = objects.At(ref.index); kind = "object"; break;
      case ItemRef::kLight: parent = lights.At(ref.index); kind = "light"; break;
      case ItemRef::kCamera: parent = cameras.At(ref.index); kind = "camera"; break;
      default: return;  // bones and unknown kinds give no parent
    }
    if (parent == nullptr) {
      throw LoadError("Scene " + name + ": " + label + " has parent " + Describe(kind, ref.index) +
                      ", which does not exist");
    }
    item.parent = parent;
  };

  std::size_t index = 0;
  for (SceneObject& object : objects) {
    const std::string label = Describe("object", index++);
    resolveParent(object, label);
    if (object.morphTargetNumber != -1) {
      const int64_t number = object.morphTargetNumber;
      SceneObject* target = objects.At(number <= 1 ? 0 : number - 1);
      if (target == nullptr) {
        throw LoadError("Scene " + name + ": " + label + " has morph target " + std::to_string(number) +
                        ", which does not exist");
      }
      if (target->mesh == nullptr) {
        throw LoadError("Scene " + name + ": " + label + " morphs towards a null object");
      }
      object.morphTarget = target;
    }
  }
  index = 0;
  for (Light& light : lights) resolveParent(light, Describe("light", index++));
  shiningLights.clear();
  flareLights.clear();
  for (Light& light : lights) {
    if (light.shines) shiningLights.push_back(&light);
    if (light.flareIntensity) flareLights.push_back(&light);
  }
  index = 0;
  for (Camera& camera : cameras) resolveParent(camera, Describe("camera", index++));

  uint32_t number = 0;
  for (SceneObject& object : objects) object.itemIndex = number++;
  for (Light& light : lights) light.itemIndex = number++;
  for (Camera& camera : cameras) camera.itemIndex = number++;

  // Parent chains and morph chains are walked every frame; a loop in either
  // would never end.
  const std::size_t total = static_cast<std::size_t>(objects.count() + lights.count() + cameras.count());
  auto checkChain = [&](const SceneItem& item, const std::string& label) {
    const SceneItem* walk = item.parent;
    for (std::size_t steps = 0; walk != nullptr; ++steps, walk = walk->parent) {
      if (steps > total) throw LoadError("Scene " + name + ": the parents of " + label + " form a loop");
    }
  };
  index = 0;
  for (const SceneObject& object : objects) {
    const std::string label = Describe("object", index++);
    checkChain(object, label);
    const SceneObject* walk = object.morphTarget;
    for (std::size_t steps = 0; walk != nullptr && walk->morphTargetNumber != -1; ++steps, walk = walk->morphTarget) {
      if (steps > total) throw LoadError("Scene " + name + ": the morph targets of " + label + " form a loop");
    }
  }
  index = 0;
  for (const Light& light : lights) checkChain(light, Describe("light", index++));
  index = 0;
  for (const Camera& camera : cameras) checkChain(camera, Describe("camera", index++));
}

}  // namespace stagwerk
