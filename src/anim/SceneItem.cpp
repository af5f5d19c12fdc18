#include "anim/SceneItem.h"

#include <vector>

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
  // Up the chain until a cached item or the top, then every item walked gets
  // the finished matrix, as the recursive walk would leave it. A loop, not
  // recursion: a legal chain may be tens of thousands of items long.
  std::size_t walked = 0;
  for (SceneItem* walk = &item; walk != nullptr; walk = walk->parent, ++walked) {
    if (t == walk->cachedTime) {
      current = walk->cachedMatrix;
      break;
    }
    ApplyInverseMotion(current, walk->motion, t);
  }
  SceneItem* walk = &item;
  for (std::size_t i = 0; i < walked; ++i, walk = walk->parent) {
    walk->cachedMatrix = current;
    walk->cachedTime = t;
  }
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
  // The uncached part of the chain, nearest first, then placed from the top
  // down. The list is kept between calls so a frame allocates nothing.
  thread_local std::vector<SceneItem*> chain;
  chain.clear();
  SceneItem* walk = &item;
  for (; walk != nullptr && t != walk->cachedTime; walk = walk->parent) chain.push_back(walk);
  if (walk != nullptr) current = walk->cachedMatrix;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    ApplyMotion(current, (*it)->motion, t);
    (*it)->cachedMatrix = current;
    (*it)->cachedTime = t;
  }
}

}  // namespace stagwerk
