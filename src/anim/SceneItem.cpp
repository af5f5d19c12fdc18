#include "anim/SceneItem.h"

#include "anim/EnvelopeEvaluation.h"

namespace stagwerk {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

float Degrees(float radians) { return static_cast<float>(radians * kDegreesPerRadian); }

}  // namespace

float ChannelValue(const MotionChannels& motion, int index, float t) {
  return index < motion.count() ? EvaluateEnvelope(motion.channels[static_cast<std::size_t>(index)], t) : 0.0f;
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

}  // namespace stagwerk
