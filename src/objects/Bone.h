#pragma once
// A bone of an object's skeleton. Read so the rest of the scene can be read;
// nothing draws or moves by it.
#include <array>
#include <memory>

#include "anim/SceneItem.h"

namespace stagwerk {

class SceneReader;

struct Bone : SceneItem {
  std::array<float, 3> restPosition{};
  // Pitch, heading, bank in degrees; the file writes heading, pitch, bank.
  std::array<float, 3> restDirection{};

  static std::unique_ptr<Bone> Read(SceneReader& reader);
};

}  // namespace stagwerk
