#pragma once
// The value of a keyframed curve at a time: behaviour outside the keys, span
// search, interpolation by the shape of the key that ends the span.
#include <cstdint>

#include "anim/Envelope.h"

namespace stagwerk {

struct WrappedTime {
  float time;
  int32_t n;  // whole periods between the given time and the returned one
};

float EvaluateEnvelope(const Envelope& envelope, float t);

float OutgoingTangent(const EnvelopeKey& k0, const EnvelopeKey& k1);
float IncomingTangent(const EnvelopeKey& k0, const EnvelopeKey& k1);
// Maps t into [lo, hi] by whole periods, counted from lo.
WrappedTime WrapTime(float t, float lo, float hi);
// A TCB, Hermite or 1D Bezier span at u in [0, 1] from v0 to v1, with the
// tangents out of its start and into its end.
inline float HermiteSpan(float v0, float v1, float out, float in, float u, float offset) {
  const float u2 = u * u;
  const float u3 = u2 * u;
  const float h2 = 3.0f * u2 - 2.0f * u3;
  const float h1 = 1.0f - h2;
  const float h3 = u3 - 2.0f * u2 + u;
  const float h4 = u3 - u2;
  return h1 * v0 + h2 * v1 + h3 * out + h4 * in + offset;
}
// Cubic Bezier in power form.
float Bezier(float p0, float p1, float p2, float p3, float u);
// Bisection for the parameter at which the Bezier's time reaches t.
float BezierTimeParameter(float x0, float x1, float x2, float x3, float t, float a, float b);

}  // namespace stagwerk
