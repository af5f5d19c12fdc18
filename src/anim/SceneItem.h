#pragma once
// The base of objects, lights, cameras and bones: parent link and motion
// channels.
#include <cstdint>
#include <optional>

#include "anim/Envelope.h"
#include "anim/ItemRef.h"
#include "base/Matrix4.h"

namespace stagwerk {

struct SceneItem {
  SceneItem() = default;
  SceneItem(const SceneItem&) = delete;
  SceneItem& operator=(const SceneItem&) = delete;
  virtual ~SceneItem() = default;

  std::optional<ItemRef> parentRef;
  SceneItem* parent = nullptr;
  MotionChannels motion;
  // Objects, then lights, then cameras, counted from 0 across the scene;
  // bones have none. Per-item tables of the frame are indexed by it.
  uint32_t itemIndex = kNoItemIndex;

  static constexpr uint32_t kNoItemIndex = 0xFFFFFFFFu;
};

// Channel values at t; channels a set lacks read as 0.
float ChannelValue(const MotionChannels& motion, int index, float t);

// One item's motion at a time, ready to place it: rotations in degrees, as
// the GL calls take them. Scaled when the item has scale channels.
struct MotionValues {
  float x = 0, y = 0, z = 0;
  float heading = 0, pitch = 0, bank = 0;
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  bool scaled = false;
};
MotionValues EvaluateMotion(const MotionChannels& motion, float t);
// A rotation channel's radians as MotionValues holds them.
float Degrees(float radians);

// Each right-multiplies current, as the GL matrix calls would.
void ApplyMotion(Matrix4& current, const MotionValues& values);
void ApplyInverseMotion(Matrix4& current, const MotionValues& values);
inline void ApplyMotion(Matrix4& current, const MotionChannels& motion, float t) {
  ApplyMotion(current, EvaluateMotion(motion, t));
}
inline void ApplyInverseMotion(Matrix4& current, const MotionChannels& motion, float t) {
  ApplyInverseMotion(current, EvaluateMotion(motion, t));
}

}  // namespace stagwerk
