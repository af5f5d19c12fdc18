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

// Each right-multiplies current, as the GL matrix calls would.
void ApplyMotion(Matrix4& current, const MotionChannels& motion, float t);
void ApplyInverseMotion(Matrix4& current, const MotionChannels& motion, float t);

}  // namespace stagwerk
