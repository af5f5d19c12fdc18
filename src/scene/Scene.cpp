#include "scene/Scene.h"

#include "anim/ChainLoops.h"
#include "base/LoadError.h"
#include "objects/Mesh.h"

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
  // would never end. Objects are checked before lights and cameras, each
  // object's parents before its morph targets, as the messages name them.
  const std::size_t objectCount = static_cast<std::size_t>(objects.count());
  const std::size_t lightCount = static_cast<std::size_t>(lights.count());
  const std::size_t total = ItemCount();
  // By itemIndex: objects, then lights, then cameras.
  auto itemAt = [&](std::size_t i) -> const SceneItem* {
    if (i < objectCount) return objects.At(static_cast<int64_t>(i));
    if (i < objectCount + lightCount) return lights.At(static_cast<int64_t>(i - objectCount));
    return cameras.At(static_cast<int64_t>(i - objectCount - lightCount));
  };
  auto describeItem = [&](std::size_t i) {
    if (i < objectCount) return Describe("object", i);
    if (i < objectCount + lightCount) return Describe("light", i - objectCount);
    return Describe("camera", i - objectCount - lightCount);
  };
  const std::optional<std::size_t> parentLoop = FirstLoopingChain(total, [&](std::size_t i) {
    const SceneItem* parent = itemAt(i)->parent;
    return parent != nullptr ? std::size_t{parent->itemIndex} : kChainEnd;
  });
  const std::optional<std::size_t> morphLoop =
      FirstLoopingChain(static_cast<std::size_t>(objects.count()), [&](std::size_t i) {
        const SceneObject* target = objects.At(static_cast<int64_t>(i))->morphTarget;
        return target != nullptr && target->morphTargetNumber != -1 ? std::size_t{target->itemIndex} : kChainEnd;
      });
  if (morphLoop && (!parentLoop || *morphLoop < *parentLoop)) {
    throw LoadError("Scene " + name + ": the morph targets of " + Describe("object", *morphLoop) + " form a loop");
  }
  if (parentLoop) throw LoadError("Scene " + name + ": the parents of " + describeItem(*parentLoop) + " form a loop");

  // Every morphing object is drawn from a working copy of its mesh: a few
  // hundred bytes of scene text can ask for a megabyte and a half. Bounded
  // so that a hostile scene is refused here instead of exhausting memory.
  uint64_t copyBytes = 0;
  for (const SceneObject& object : objects) {
    if (!object.morphs || object.mesh == nullptr) continue;
    copyBytes += sizeof(float) * (object.mesh->positions().size() + object.mesh->normals().size());
  }
  if (copyBytes > kMaxMorphCopyBytes) {
    const uint64_t megabytes = (copyBytes + (uint64_t{1} << 20) - 1) >> 20;
    throw LoadError("Scene " + name + ": its morphing objects need " + std::to_string(megabytes) +
                    " MB of working copies, more than the " + std::to_string(kMaxMorphCopyBytes >> 20) + " MB allowed");
  }
  motionLayout = LayOutMotion(*this);
}

}  // namespace stagwerk
