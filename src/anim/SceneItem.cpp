#include "anim/SceneItem.h"

#include "anim/EnvelopeEvaluation.h"

namespace stagwerk {

float Degrees(float radians) {
  constexpr double kDegreesPerRadian = 57.29577951308232;
  return static_cast<float>(radians * kDegreesPerRadian);
}

float ChannelValue(const MotionChannels& motion, int index, float t) {
  return index < motion.count() ? EvaluateEnvelope(motion.channels[static_cast<std::size_t>(index)], t) : 0.0f;
}

MotionValues EvaluateMotion(const MotionChannels& motion, float t) {
  MotionValues v;
  v.x = ChannelValue(motion, 0, t);
  v.y = ChannelValue(motion, 1, t);
  v.z = ChannelValue(motion, 2, t);
  v.heading = Degrees(ChannelValue(motion, 3, t));
  v.pitch = Degrees(ChannelValue(motion, 4, t));
  v.bank = Degrees(ChannelValue(motion, 5, t));
  if (motion.count() == 9) {
    v.scaled = true;
    v.scaleX = ChannelValue(motion, 6, t);
    v.scaleY = ChannelValue(motion, 7, t);
    v.scaleZ = ChannelValue(motion, 8, t);
  }
  return v;
}

void ApplyMotion(Matrix4& current, const MotionValues& v) {
  current.Translate(v.x, v.y, v.z);
  if (v.scaled) current.Scale(v.scaleX, v.scaleY, v.scaleZ);
  current.Rotate(v.heading, 0, 1, 0);
  current.Rotate(v.pitch, 1, 0, 0);
  current.Rotate(v.bank, 0, 0, 1);
}

void ApplyInverseMotion(Matrix4& current, const MotionValues& v) {
  current.Rotate(v.bank, 0, 0, -1);
  current.Rotate(v.pitch, -1, 0, 0);
  current.Rotate(v.heading, 0, -1, 0);
  current.Translate(-v.x, -v.y, -v.z);
}

}  // namespace stagwerk
