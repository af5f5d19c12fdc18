#pragma once
// One loaded scene file: settings, frame range and rate, and its objects,
// lights and cameras in file order.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anim/Envelope.h"
#include "base/PointerList.h"
#include "lights/Light.h"
#include "objects/SceneObject.h"
#include "scene/Camera.h"
#include "scene/MotionLayout.h"

namespace stagwerk {

struct Texture;

struct Color4 {
  float red = 0.0f;
  float green = 0.0f;
  float blue = 0.0f;
  float alpha = 1.0f;
};

// What a scene gets for the lines it leaves out: LightWave's own defaults,
// and a far plane deep enough to show the scene when there is no fog line.
struct SceneDefaults {
  static constexpr uint32_t kFirstFrame = 1;
  static constexpr uint32_t kLastFrame = 60;
  static constexpr uint32_t kFramesPerSecond = 30;
  static constexpr float kAmbientIntensity = 0.05f;
  static constexpr float kFogMaxDistance = 1000.0f;
};

struct Scene {
  std::string name;
  int32_t fogType = 0;
  Color4 ambientColor{1.0f, 1.0f, 1.0f, 1.0f};
  Color4 fogColor;
  Color4 backdropColor;
  ScalarOrEnvelope ambientIntensity{SceneDefaults::kAmbientIntensity, nullptr};
  ScalarOrEnvelope fogMinDistance;
  ScalarOrEnvelope fogMaxDistance{SceneDefaults::kFogMaxDistance, nullptr};
  std::unique_ptr<ScalarOrEnvelope> fgDissolve;
  float nearClip = 1.0f;
  Texture* bgImage = nullptr;
  Texture* fgImage = nullptr;
  uint32_t firstFrame = SceneDefaults::kFirstFrame;
  uint32_t lastFrame = SceneDefaults::kLastFrame;
  uint32_t framesPerSecond = SceneDefaults::kFramesPerSecond;
  float sceneStart = 0.0f;
  float sceneEnd = 0.0f;
  float frameDuration = 0.0f;
  PointerList<SceneObject> objects;
  PointerList<Light> lights;
  int32_t shiningLightCount = 0;
  int32_t flareCount = 0;
  PointerList<Camera> cameras;
  // The lights that light objects (at most eight, in file order) and those
  // with a lens flare.
  std::vector<Light*> shiningLights;
  std::vector<Light*> flareLights;
  // The items in the order the frame places them, their curves in flat
  // arrays (made by ResolveLinks).
  MotionLayout motionLayout;

  // Turns parent references and morph target numbers into links, checks
  // them, numbers the items, and lists the shining and the flaring lights.
  void ResolveLinks();
  // Objects, lights and cameras: the range of SceneItem::itemIndex.
  uint32_t ItemCount() const {
    return static_cast<uint32_t>(objects.count() + lights.count() + cameras.count());
  }
  // The most the working copies of morphing objects may take together.
  static constexpr uint64_t kMaxMorphCopyBytes = uint64_t{512} << 20;
  // sceneStart, sceneEnd and frameDuration from the frame numbers.
  void ComputeFrameTimes();
};

}  // namespace stagwerk
