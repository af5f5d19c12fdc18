#include "anim/SceneItem.h"

#include "anim/EnvelopeEvaluation.h"

namespace stagwerk {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

float Degrees(float radians) { return static_cast<float>(radians * kDegreesPerRadian); }

}  // namespace

float ChannelValue(const MotionChannels& motion, int index, float t) {
  return index < motion.count() ? EvaluateEnvelope(*motion.channels[static_cast<std::size_t>(index)], t) : 0.0f;
}

void ApplyMotion(Matrix4& current, const MotionChannels& motion, float t) {
  current.Translate(ChannelValue(motion, 0, t), ChannelValue(motion, 1, t), ChannelValue(motion, 2, t));
  if (motion.count() == 9) {
    current.Scale(ChannelValue(motion, 6, t), ChannelValue(motion, 7, t), ChannelValue(motion, 8, t));
  }
  current.Rotate(Degrees(ChannelValue(motion, 3, t)), 0, 1, 0);
  current.Rotate(Degrees(ChannelValue(motion, 4, t)), 1, 0, 0);
  current.Rotate(Degrees(ChannelValue(motion, 5, t)), 0, 0, 1);
}

void ApplyInverseMotion(Matrix4& current, const MotionChannels& motion, float t) {
  current.Rotate(Degrees(ChannelValue(motion, 5, t)), 0, 0, -1);
  current.Rotate(Degrees(ChannelValue(motion, 4, t)), -1, 0, 0);
  current.Rotate(Degrees(ChannelValue(motion, 3, t)), 0, -1, 0);
  current.Translate(-ChannelValue(motion, 0, t), -ChannelValue(motion, 1, t), -ChannelValue(motion, 2, t));
}

void ApplyViewTransform(Matrix4& current, SceneItem& item, float t) {
  if (t == item.cachedTime) {
    current = item.cachedMatrix;
    return;
  }
  ApplyInverseMotion(current, item.motion, t);
  if (item.parent != nullptr) ApplyViewTransform(current, *item.parent, t);
  item.cachedMatrix = current;
  item.cachedTime = t;
}

void SceneItem::Transform(Matrix4& current, float time) {
  if (time == cachedTime) {
    current = cachedMatrix;
    return;
  }
  if (parent != nullptr && parentRef && parentRef->kind == ItemRef::kBone) parent->Transform(current, time);
  ApplyMotion(current, motion, time);
  cachedMatrix = current;
  cachedTime = time;
}

void ApplyItemTransform(Matrix4& current, SceneItem& item, float t) {
  if (t == item.cachedTime) {
    current = item.cachedMatrix;
    return;
  }
  if (item.parent != nullptr) ApplyItemTransform(current, *item.parent, t);
  ApplyMotion(current, item.motion, t);
  item.cachedMatrix = current;
  item.cachedTime = t;
}

}  // namespace stagwerk
