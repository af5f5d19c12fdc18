#pragma once
// A scene's items laid out for the frame's passes over them: in an order
// where every parent comes before its children, each with its motion
// channels and an object's dissolve side by side in one table of curves.
#include <cstdint>
#include <vector>

#include "anim/EnvelopeTable.h"

namespace stagwerk {

struct Scene;

struct MotionLayout {
  // Per item: the nine motion channels (position, heading, pitch, bank in
  // radians, scale), then an object's dissolve. Channels an item lacks
  // read 0.
  static constexpr uint32_t kCurvesPerItem = 10;
  static constexpr uint32_t kDissolveCurve = 9;
  static constexpr uint32_t kNoParent = 0xFFFFFFFFu;

  std::vector<uint32_t> itemOf;      // per slot: the item's itemIndex
  std::vector<uint32_t> parentSlot;  // per slot, or kNoParent
  std::vector<uint8_t> scaled;       // per slot: it has scale channels
  std::vector<uint32_t> slotOf;      // per itemIndex
  // Curve kCurvesPerItem * slot + channel.
  EnvelopeTable curves;

  uint32_t slotCount() const { return static_cast<uint32_t>(itemOf.size()); }
};

// The scene's items must be numbered, their parents linked and free of
// loops (Scene::ResolveLinks).
MotionLayout LayOutMotion(const Scene& scene);

}  // namespace stagwerk
