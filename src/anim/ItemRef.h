#pragma once
// A reference to another item of the scene, as "ParentItem" writes it: one
// hexadecimal id whose top four bits give the kind.
#include <cstdint>

namespace stagwerk {

class SceneReader;

struct ItemRef {
  enum Kind : uint16_t { kObject = 1, kLight = 2, kCamera = 3, kBone = 4 };
  uint16_t kind = 0;
  uint16_t index = 0;
  uint16_t ownerIndex = 0;  // bones only: the owning object

  static ItemRef Read(SceneReader& reader);
  static ItemRef FromId(uint32_t id);
};

}  // namespace stagwerk
