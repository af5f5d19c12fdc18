#include "anim/EnvelopeEvaluation.h"

#include <cmath>
#include <cstdint>

namespace stagwerk {

namespace {

constexpr float kOneThird = 0.3333333f;

// Keys that share a time give a zero span; a zero tangent scale keeps the
// curve finite there instead of dividing by zero.
float Ratio(float numerator, float denominator) { return denominator != 0.0f ? numerator / denominator : 0.0f; }

float HandleSlope(float span, float handleValue, float handleTime) {
  return std::fabs(handleTime) > 0.00001f ? span * handleValue / handleTime : span * handleValue * 100000.0f;
}

float BezierSpan(const EnvelopeKey& k0, const EnvelopeKey& k1, float t) {
  const float span = k1.time - k0.time;
  const bool handle = k0.shape == kShapeBezier2D;
  const float x0 = k0.time;
  const float x1 = handle ? k0.time + k0.param2 : k0.time + span * kOneThird;
  const float x2 = k1.time + k1.param0;
  const float x3 = k1.time;
  const float u = BezierTimeParameter(x0, x1, x2, x3, t, 0.0f, 1.0f);
  const float y0 = k0.value;
  const float y1 = handle ? k0.value + k0.param3 : k0.value + k0.param1 * kOneThird;
  const float y2 = k1.value + k1.param1;
  const float y3 = k1.value;
  return Bezier(y0, y1, y2, y3, u);
}

}  // namespace

float Bezier(float p0, float p1, float p2, float p3, float u) {
  const float c = 3.0f * (p1 - p0);
  const float b = 3.0f * (p2 - p1) - c;
  const float a = p3 - p0 - c - b;
  return ((a * u + b) * u + c) * u + p0;
}

float BezierTimeParameter(float x0, float x1, float x2, float x3, float t, float a, float b) {
  // A 32-bit interval stops shrinking after about 24 halvings; past that the
  // time cannot come closer, so the search ends with the best parameter.
  constexpr int kMaxRounds = 64;
  float u = a + (b - a) * 0.5f;
  for (int round = 0; round < kMaxRounds; ++round) {
    u = a + (b - a) * 0.5f;
    const float v = Bezier(x0, x1, x2, x3, u);
    if (std::fabs(t - v) <= 0.0001f) break;
    if (v > t) {
      if (b == u) break;
      b = u;
    } else {
      if (a == u) break;
      a = u;
    }
  }
  return u;
}

WrappedTime WrapTime(float t, float lo, float hi) {
  const double r = static_cast<double>(hi) - lo;
  if (r == 0.0) return {lo, 0};
  // Periods are counted from the first key, so a curve that does not start
  // at time 0 repeats in phase.
  const double phase = static_cast<double>(t) - lo;
  const double w = lo + phase - r * std::floor(phase / r);
  const double h = w > t ? 0.5 : -0.5;
  const double periods = -std::trunc((w - t) / r + h);
  int32_t n = 0;
  if (std::isfinite(periods)) {
    n = periods > INT32_MAX ? INT32_MAX : periods < INT32_MIN ? INT32_MIN : static_cast<int32_t>(periods);
  }
  return {static_cast<float>(w), n};
}

float OutgoingTangent(const EnvelopeKey& k0, const EnvelopeKey& k1) {
  const float d = k1.value - k0.value;
  const EnvelopeKey* p = k0.prev;
  const float s = p ? Ratio(k1.time - k0.time, k1.time - p->time) : 1.0f;
  switch (k0.shape) {
    case kShapeTcb: {
      const float a = (1.0f - k0.tension) * (1.0f + k0.continuity) * (1.0f + k0.bias);
      const float b = (1.0f - k0.tension) * (1.0f - k0.continuity) * (1.0f - k0.bias);
      return p ? s * (a * (k0.value - p->value) + b * d) : b * d;
    }
    case kShapeHermite:
    case kShapeBezier1D:
      return s * k0.param1;
    case kShapeLinear:
      return p ? s * ((k0.value - p->value) + d) : d;
    case kShapeBezier2D:
      return HandleSlope(k1.time - k0.time, k0.param3, k0.param2);
    default:
      return 0.0f;
  }
}

float IncomingTangent(const EnvelopeKey& k0, const EnvelopeKey& k1) {
  const float d = k1.value - k0.value;
  const EnvelopeKey* q = k1.next;
  const float s = q ? Ratio(k1.time - k0.time, q->time - k0.time) : 1.0f;
  switch (k1.shape) {
    case kShapeTcb: {
      const float a = (1.0f - k1.tension) * (1.0f - k1.continuity) * (1.0f + k1.bias);
      const float b = (1.0f - k1.tension) * (1.0f + k1.continuity) * (1.0f - k1.bias);
      return q ? s * (b * (q->value - k1.value) + a * d) : a * d;
    }
    case kShapeHermite:
    case kShapeBezier1D:
      return s * k1.param0;
    case kShapeLinear:
      return q ? s * ((q->value - k1.value) + d) : d;
    case kShapeBezier2D:
      return HandleSlope(k1.time - k0.time, k1.param1, k1.param0);
    default:
      return 0.0f;
  }
}

float EvaluateEnvelope(const Envelope& envelope, float t) {
  if (envelope.count() == 0) return 0.0f;
  const EnvelopeKey* first = envelope.keys();
  if (envelope.count() == 1) return first->value;
  const EnvelopeKey* last = first + (envelope.count() - 1);
  float offset = 0.0f;

  if (t < first->time || t > last->time) {
    const bool before = t < first->time;
    const uint32_t behavior = static_cast<uint32_t>(before ? envelope.pre : envelope.post);
    switch (behavior) {
      case kBehaviorReset:
        return 0.0f;
      case kBehaviorConstant:
        return before ? first->value : last->value;
      case kBehaviorRepeat:
        t = WrapTime(t, first->time, last->time).time;
        break;
      case kBehaviorOscillate: {
        const WrappedTime wrapped = WrapTime(t, first->time, last->time);
        t = wrapped.time;
        // Mirror inside the keyed interval, wherever it starts.
        if (wrapped.n % 2 != 0) t = last->time + first->time - t;
        break;
      }
      case kBehaviorOffsetRepeat: {
        const WrappedTime wrapped = WrapTime(t, first->time, last->time);
        t = wrapped.time;
        offset = static_cast<float>(wrapped.n) * (last->value - first->value);
        break;
      }
      case kBehaviorLinear:
        if (before) {
          const EnvelopeKey& k1 = *first->next;
          const float slope = Ratio(OutgoingTangent(*first, k1), k1.time - first->time);
          return first->value + slope * (t - first->time);
        } else {
          const EnvelopeKey& k0 = *last->prev;
          const float slope = Ratio(IncomingTangent(k0, *last), last->time - k0.time);
          return last->value + slope * (t - last->time);
        }
      default:
        break;  // unknown codes extend the end span's curve
    }
  }

  // The search stops at the last span, so times past the last key extend it.
  const EnvelopeKey* k0 = first;
  while (k0->next != last && t > k0->next->time) k0 = k0->next;
  const EnvelopeKey& k1 = *k0->next;

  if (t == k0->time) return k0->value + offset;
  if (t == k1.time) return k1.value + offset;
  if (k1.time == k0->time) return (t < k0->time ? k0->value : k1.value) + offset;

  const float u = (t - k0->time) / (k1.time - k0->time);
  switch (k1.shape) {
    case kShapeTcb:
    case kShapeHermite:
    case kShapeBezier1D:
      return HermiteSpan(k0->value, k1.value, OutgoingTangent(*k0, k1), IncomingTangent(*k0, k1), u, offset);
    case kShapeLinear:
      return k0->value + (k1.value - k0->value) * u + offset;
    case kShapeStepped:
      return k0->value + offset;
    case kShapeBezier2D:
      return BezierSpan(*k0, k1, t) + offset;
    default:
      return offset;
  }
}

}  // namespace stagwerk
