#include "anim/EnvelopeTable.h"

#include <cmath>

#include "anim/EnvelopeEvaluation.h"

namespace stagwerk {

namespace {

constexpr float kOneThird = 0.3333333f;

float Ratio(float numerator, float denominator) { return denominator != 0.0f ? numerator / denominator : 0.0f; }

}  // namespace

uint32_t EnvelopeTable::Add(const Envelope& envelope) {
  Curve c;
  c.first = static_cast<uint32_t>(keys_.size());
  c.count = static_cast<uint32_t>(envelope.count());
  c.pre = static_cast<uint8_t>(envelope.pre);
  c.post = static_cast<uint8_t>(envelope.post);
  // Codes past a byte are unknown codes too; keep them unknown.
  if (static_cast<uint32_t>(envelope.pre) > 0xFFu) c.pre = 0xFFu;
  if (static_cast<uint32_t>(envelope.post) > 0xFFu) c.post = 0xFFu;
  const EnvelopeKey* k = envelope.keys();
  Slopes slopes;
  for (uint32_t i = 0; i < c.count; ++i) {
    Key key;
    key.time = k[i].time;
    key.value = k[i].value;
    if (i + 1 < c.count) {
      const EnvelopeKey& k0 = k[i];
      const EnvelopeKey& k1 = k[i + 1];
      c.ordered = c.ordered && k0.time <= k1.time;
      key.shape = k1.shape;
      if (k1.shape == kShapeBezier2D) {
        // As EvaluateEnvelope's Bezier span works them out.
        const float span = k1.time - k0.time;
        const bool handle = k0.shape == kShapeBezier2D;
        key.handle = static_cast<uint32_t>(handles_.size());
        handles_.push_back({handle ? k0.time + k0.param2 : k0.time + span * kOneThird, k1.time + k1.param0,
                            handle ? k0.value + k0.param3 : k0.value + k0.param1 * kOneThird, k1.value + k1.param1});
      } else {
        key.out = OutgoingTangent(k0, k1);
        key.in = IncomingTangent(k0, k1);
      }
    }
    keys_.push_back(key);
  }
  if (c.count >= 2) {
    const EnvelopeKey& first = k[0];
    const EnvelopeKey& last = k[c.count - 1];
    slopes.before = Ratio(OutgoingTangent(first, *first.next), first.next->time - first.time);
    slopes.after = Ratio(IncomingTangent(*last.prev, last), last.time - last.prev->time);
  }
  curves_.push_back(c);
  slopes_.push_back(slopes);
  return static_cast<uint32_t>(curves_.size() - 1);
}

uint32_t EnvelopeTable::AddConstant(float value) {
  Curve c;
  c.first = static_cast<uint32_t>(keys_.size());
  c.count = 1;
  Key key;
  key.value = value;
  keys_.push_back(key);
  curves_.push_back(c);
  slopes_.push_back({});
  return static_cast<uint32_t>(curves_.size() - 1);
}

uint32_t EnvelopeTable::AddEmpty() {
  curves_.push_back({});
  slopes_.push_back({});
  return static_cast<uint32_t>(curves_.size() - 1);
}

float EnvelopeTable::Evaluate(uint32_t curve, float t, uint32_t& span) const {
  const Curve& c = curves_[curve];
  if (c.count == 0) return 0.0f;
  const Key* k = keys_.data() + c.first;
  if (c.count == 1) return k[0].value;
  const uint32_t last = c.count - 1;
  float offset = 0.0f;

  if (t < k[0].time || t > k[last].time) {
    const bool before = t < k[0].time;
    const uint32_t behavior = before ? c.pre : c.post;
    switch (behavior) {
      case kBehaviorReset:
        return 0.0f;
      case kBehaviorConstant:
        return before ? k[0].value : k[last].value;
      case kBehaviorRepeat:
        t = WrapTime(t, k[0].time, k[last].time).time;
        break;
      case kBehaviorOscillate: {
        const WrappedTime wrapped = WrapTime(t, k[0].time, k[last].time);
        t = wrapped.time;
        if (wrapped.n % 2 != 0) t = k[last].time + k[0].time - t;
        break;
      }
      case kBehaviorOffsetRepeat: {
        const WrappedTime wrapped = WrapTime(t, k[0].time, k[last].time);
        t = wrapped.time;
        offset = static_cast<float>(wrapped.n) * (k[last].value - k[0].value);
        break;
      }
      case kBehaviorLinear:
        if (before) return k[0].value + slopes_[curve].before * (t - k[0].time);
        return k[last].value + slopes_[curve].after * (t - k[last].time);
      default:
        break;
    }
  }

  // The first span from the start whose end is not before t, or the last
  // span. With ordered keys every span before the one found ends before t,
  // so the search may step back or on from where it last stopped.
  uint32_t i = 0;
  if (c.ordered && t == t) {
    i = span < last ? span : last - 1;
    while (i > 0 && t <= k[i].time) --i;
  }
  while (i != last - 1 && t > k[i + 1].time) ++i;
  span = i;
  return Span(k, i, t, offset);
}

float EnvelopeTable::Span(const Key* k, uint32_t i, float t, float offset) const {
  const Key& k0 = k[i];
  const Key& k1 = k[i + 1];
  if (t == k0.time) return k0.value + offset;
  if (t == k1.time) return k1.value + offset;
  if (k1.time == k0.time) return (t < k0.time ? k0.value : k1.value) + offset;

  const float u = (t - k0.time) / (k1.time - k0.time);
  switch (k0.shape) {
    case kShapeTcb:
    case kShapeHermite:
    case kShapeBezier1D:
      return HermiteSpan(k0.value, k1.value, k0.out, k0.in, u, offset);
    case kShapeLinear:
      return k0.value + (k1.value - k0.value) * u + offset;
    case kShapeStepped:
      return k0.value + offset;
    case kShapeBezier2D: {
      const Handles& h = handles_[k0.handle];
      const float v = BezierTimeParameter(k0.time, h.x1, h.x2, k1.time, t, 0.0f, 1.0f);
      return Bezier(k0.value, h.y1, h.y2, k1.value, v) + offset;
    }
    default:
      return offset;
  }
}

}  // namespace stagwerk
