#include "kq7/formats/demoscene/DemoScene.h"

#include "anim/EnvelopeEvaluation.h"

namespace stagwerk::kq7 {

Curve Curve::Constant(float value) {
  Curve curve;
  curve.keys.push_back({value, 0, kShapeLinear, {}});
  return curve;
}

Envelope Curve::ToEnvelope() const {
  // The player's parser keeps from the six numbers what each shape reads.
  std::vector<EnvelopeKey> out;
  for (const CurveKey& k : keys) {
    EnvelopeKey e;
    e.value = k.value;
    e.time = k.time;
    e.shape = k.shape;
    const auto& p = k.params;
    switch (k.shape) {
      case kShapeTcb: e.tension = p[0], e.continuity = p[1], e.bias = p[2]; break;
      case kShapeHermite:
      case kShapeBezier1D: e.param0 = p[3], e.param1 = p[4]; break;
      case kShapeBezier2D: e.param0 = p[0], e.param1 = p[1], e.param2 = p[2], e.param3 = p[3]; break;
      default: break;
    }
    out.push_back(e);
  }
  return Envelope(std::move(out), pre, post);
}

float Curve::ValueAt(float t) const { return EvaluateEnvelope(ToEnvelope(), t); }

Motion Motion::Still(int count) {
  Motion motion;
  for (int i = 0; i < count; ++i) motion.channels.push_back(Curve::Constant(i >= 6 ? 1.0f : 0.0f));
  return motion;
}

uint32_t ItemLink::Id() const {
  if (kind == 4) return 0x40000000u | (uint32_t{index} & 0xFFF) << 16 | owner;
  return uint32_t{kind} << 28 | index;
}

}  // namespace stagwerk::kq7
