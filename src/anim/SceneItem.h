#pragma once
// The base of objects, lights, cameras and bones: parent link, motion
// channels and the per-frame matrix cache.
#include <optional>

#include "anim/Envelope.h"
#include "anim/ItemRef.h"
#include "anim/Matrix4.h"

namespace stagwerk {

struct SceneItem {
  SceneItem() = default;
  SceneItem(const SceneItem&) = delete;
  SceneItem& operator=(const SceneItem&) = delete;
  virtual ~SceneItem() = default;

  // Cached transform through bone parents; bones override nothing visible.
  virtual void Transform(Matrix4& current, float time);

  std::optional<ItemRef> parentRef;
  SceneItem* parent = nullptr;
  MotionChannels motion;
  Matrix4 cachedMatrix;
  float cachedTime = -1.0f;
};

// Channel values at t; channels a set lacks read as 0.
float ChannelValue(const MotionChannels& motion, int index, float t);

// Each right-multiplies current, as the GL matrix calls would.
void ApplyMotion(Matrix4& current, const MotionChannels& motion, float t);
void ApplyInverseMotion(Matrix4& current, const MotionChannels& motion, float t);
// The view chain of an item, with the item caches.
void ApplyViewTransform(Matrix4& current, SceneItem& item, float t);
// The item's world transform through its parent chain, with the caches.
void ApplyItemTransform(Matrix4& current, SceneItem& item, float t);

}  // namespace stagwerk
