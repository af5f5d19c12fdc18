#pragma once
// One loaded scene file: settings, frame range and its item lists.
#include <string>

#include "anim/PointerList.h"
#include "scene/Camera.h"

namespace stagwerk {

struct Scene {
  std::string name;
  float sceneStart = 0.0f;
  float sceneEnd = 0.0f;
  float frameDuration = 0.0f;
  PointerList<Camera> cameras;
};

}  // namespace stagwerk
