#include "anim/EnvelopeEvaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace stagwerk {
namespace {

EnvelopeKey Key(float time, float value, int32_t shape = kShapeLinear) {
  EnvelopeKey key;
  key.time = time;
  key.value = value;
  key.shape = shape;
  return key;
}

Envelope Make(std::vector<EnvelopeKey> keys, int32_t pre = kBehaviorConstant, int32_t post = kBehaviorConstant) {
  return Envelope(std::move(keys), pre, post);
}

TEST(EnvelopeEvaluation, LinearSpanAndEndBehaviours) {
  auto two = [](int32_t pre, int32_t post) { return Make({Key(0, 0), Key(1, 10)}, pre, post); };
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, 1), 0.25f), 2.5f);
  EXPECT_EQ(EvaluateEnvelope(two(1, 1), 1.0f), 10.0f);
  EXPECT_EQ(EvaluateEnvelope(two(kBehaviorConstant, 1), -1.0f), 0.0f);
  EXPECT_EQ(EvaluateEnvelope(two(kBehaviorReset, 1), -1.0f), 0.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(kBehaviorLinear, 1), -1.0f), -10.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorLinear), 3.0f), 30.0f);
  EXPECT_EQ(EvaluateEnvelope(two(1, kBehaviorConstant), 5.0f), 10.0f);
  EXPECT_EQ(EvaluateEnvelope(two(1, kBehaviorReset), 5.0f), 0.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorRepeat), 1.25f), 2.5f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorOffsetRepeat), 1.25f), 12.5f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorOffsetRepeat), 2.5f), 25.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorOscillate), 1.25f), 7.5f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(1, kBehaviorOscillate), 2.25f), 2.5f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(two(kBehaviorOffsetRepeat, 1), -0.75f), -7.5f);
}

TEST(EnvelopeEvaluation, WrapTimeCountsPeriodsFromTheFirstKey) {
  WrappedTime w = WrapTime(1.25f, 0.0f, 1.0f);
  EXPECT_FLOAT_EQ(w.time, 0.25f);
  EXPECT_EQ(w.n, 1);
  w = WrapTime(-1.0f, 0.0f, 1.0f);
  EXPECT_FLOAT_EQ(w.time, 0.0f);
  EXPECT_EQ(w.n, -1);
  w = WrapTime(4.0f, 1.0f, 3.0f);
  EXPECT_FLOAT_EQ(w.time, 2.0f);
  EXPECT_EQ(w.n, 1);
  w = WrapTime(-0.5f, 1.0f, 3.0f);
  EXPECT_FLOAT_EQ(w.time, 1.5f);
  EXPECT_EQ(w.n, -1);
  w = WrapTime(5.0f, 2.0f, 2.0f);
  EXPECT_EQ(w.time, 2.0f);
  EXPECT_EQ(w.n, 0);
  w = WrapTime(1e30f, 0.0f, 1e-30f);  // no overflow on absurd ratios
  EXPECT_TRUE(std::isfinite(w.time));
}

TEST(EnvelopeEvaluation, WrapsStayInPhaseWhenTheFirstKeyIsNotAtZero) {
  // Keys at 1 and 3, values 0 and 20: one period is 2 s.
  auto make = [](int32_t post) { return Make({Key(1, 0), Key(3, 20)}, kBehaviorConstant, post); };
  EXPECT_FLOAT_EQ(EvaluateEnvelope(make(kBehaviorRepeat), 4.0f), 10.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(make(kBehaviorRepeat), 5.0f), 0.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(make(kBehaviorOffsetRepeat), 4.0f), 30.0f);
  // Oscillate mirrors back into [1, 3]: 3.5 is 0.5 past the end, i.e. at 2.5.
  EXPECT_FLOAT_EQ(EvaluateEnvelope(make(kBehaviorOscillate), 3.5f), 15.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(make(kBehaviorOscillate), 5.5f), 5.0f);
  const Envelope pre = Make({Key(1, 0), Key(3, 20)}, kBehaviorOscillate, 1);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(pre, 0.5f), 5.0f);
}

TEST(EnvelopeEvaluation, KeyTimesReturnKeyValuesWhateverTheShape) {
  for (int32_t shape = 0; shape <= 6; ++shape) {
    const Envelope envelope = Make({Key(0, 1, shape), Key(1, 4, shape), Key(2, -3, shape)});
    EXPECT_EQ(EvaluateEnvelope(envelope, 0.0f), 1.0f) << shape;
    EXPECT_EQ(EvaluateEnvelope(envelope, 1.0f), 4.0f) << shape;
    EXPECT_EQ(EvaluateEnvelope(envelope, 2.0f), -3.0f) << shape;
  }
  EXPECT_EQ(EvaluateEnvelope(Make({Key(5, 9)}), -100.0f), 9.0f);
}

TEST(EnvelopeEvaluation, SteppedHoldsUntilTheNextKey) {
  const Envelope envelope = Make({Key(0, 1), Key(1, 5, kShapeStepped)});
  EXPECT_EQ(EvaluateEnvelope(envelope, 0.001f), 1.0f);
  EXPECT_EQ(EvaluateEnvelope(envelope, 0.999f), 1.0f);
  EXPECT_EQ(EvaluateEnvelope(envelope, 1.0f), 5.0f);
}

TEST(EnvelopeEvaluation, TcbSpline) {
  // Flat at the middle key of (0,0), (1,1), (2,0) with all parameters 0.
  const Envelope peak = Make({Key(0, 0, kShapeTcb), Key(1, 1, kShapeTcb), Key(2, 0, kShapeTcb)});
  EXPECT_FLOAT_EQ(OutgoingTangent(peak.keys()[1], peak.keys()[2]), 0.0f);
  EXPECT_FLOAT_EQ(IncomingTangent(peak.keys()[0], peak.keys()[1]), 0.0f);
  // Span 0..1: out tangent at key 0 is d = 1, in tangent 0, u = 0.5:
  // H1 0.5, H2 0.5, H3 0.125, H4 -0.125 -> 0.5 + 0.125.
  EXPECT_FLOAT_EQ(EvaluateEnvelope(peak, 0.5f), 0.625f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(peak, 1.5f), 0.625f);

  // Tension 1 zeroes both tangents: a smoothstep between the keys.
  EnvelopeKey a = Key(0, 0, kShapeTcb), b = Key(1, 10, kShapeTcb);
  a.tension = b.tension = 1.0f;
  EXPECT_FLOAT_EQ(EvaluateEnvelope(Make({a, b}), 0.25f), 10.0f * (3 * 0.0625f - 2 * 0.015625f));

  // Continuity and bias weigh the neighbours as Kochanek-Bartels does.
  EnvelopeKey p = Key(0, 0, kShapeTcb), k0 = Key(1, 2, kShapeTcb), k1 = Key(3, 3, kShapeTcb);
  k0.continuity = 0.5f;
  k0.bias = -0.5f;
  const Envelope curve = Make({p, k0, k1});
  const float aw = 1.5f * 0.5f, bw = 0.5f * 1.5f, s = 2.0f / 3.0f;
  EXPECT_FLOAT_EQ(OutgoingTangent(curve.keys()[1], curve.keys()[2]), s * (aw * 2.0f + bw * 1.0f));
}

TEST(EnvelopeEvaluation, HermiteUsesExplicitTangents) {
  EnvelopeKey k0 = Key(0, 0, kShapeHermite), k1 = Key(2, 2, kShapeHermite);
  k0.param1 = 4.0f;  // outgoing
  k1.param0 = -4.0f;  // incoming
  const Envelope envelope = Make({k0, k1});
  // u = 0.5: 0.5*0 + 0.5*2 + 0.125*4 + (-0.125)*(-4) = 2.
  EXPECT_FLOAT_EQ(EvaluateEnvelope(envelope, 1.0f), 2.0f);
  // 1D Bezier evaluates exactly like Hermite.
  k1.shape = kShapeBezier1D;
  EXPECT_FLOAT_EQ(EvaluateEnvelope(Make({k0, k1}), 1.0f), 2.0f);
}

TEST(EnvelopeEvaluation, LinearPostBehaviourFollowsTheEndTangent) {
  // Three linear keys: the end tangent uses the last span only.
  const Envelope envelope = Make({Key(0, 0), Key(1, 10), Key(2, 30)}, 1, kBehaviorLinear);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(envelope, 3.0f), 50.0f);
  // A TCB end arriving flat keeps the end value.
  EnvelopeKey end = Key(2, 30, kShapeTcb);
  end.tension = 1.0f;
  EXPECT_FLOAT_EQ(EvaluateEnvelope(Make({Key(0, 0), end}, 1, kBehaviorLinear), 10.0f), 30.0f);
}

TEST(EnvelopeEvaluation, TwoDimensionalBezierSpan) {
  EnvelopeKey k0 = Key(0, 0, kShapeBezier2D), k1 = Key(3, 3, kShapeBezier2D);
  // Handles on the straight line: time offset 1, value offset 1.
  k0.param2 = 1.0f;
  k0.param3 = 1.0f;
  k1.param0 = -1.0f;
  k1.param1 = -1.0f;
  const Envelope straight = Make({k0, k1});
  for (float t : {0.3f, 1.0f, 1.7f, 2.9f}) EXPECT_NEAR(EvaluateEnvelope(straight, t), t, 2e-4f);

  // An ease curve: flat handles at both ends, symmetric about the middle.
  k0.param3 = 0.0f;
  k1.param1 = 0.0f;
  const Envelope ease = Make({k0, k1});
  EXPECT_NEAR(EvaluateEnvelope(ease, 1.5f), 1.5f, 1e-3f);
  const float early = EvaluateEnvelope(ease, 0.5f);
  EXPECT_LT(early, 0.5f);
  EXPECT_NEAR(early + EvaluateEnvelope(ease, 2.5f), 3.0f, 1e-3f);

  // A zero handle time uses the large factor instead of dividing by zero.
  k0.param2 = 0.0f;
  k0.param3 = 1.0f;
  EXPECT_FLOAT_EQ(OutgoingTangent(k0, k1), 3.0f * 1.0f * 100000.0f);
  EXPECT_TRUE(std::isfinite(EvaluateEnvelope(Make({k0, k1}), 1.0f)));
}

TEST(EnvelopeEvaluation, BezierAfterANonBezierKeyUsesItsOutgoingParameter) {
  EnvelopeKey k0 = Key(0, 0, kShapeLinear), k1 = Key(3, 3, kShapeBezier2D);
  k1.param0 = -1.0f;
  k1.param1 = -1.0f;
  // k0.param1 is 0: y1 = 0, x1 = 1 -> curve starts flat.
  const float v = EvaluateEnvelope(Make({k0, k1}), 0.3f);
  EXPECT_GE(v, 0.0f);
  EXPECT_LT(v, 0.3f);
}

TEST(EnvelopeEvaluation, BisectionEndsOnUnreachableTimes) {
  // Span of 1e7 s: float resolution keeps the time from coming within 1e-4.
  EXPECT_TRUE(std::isfinite(BezierTimeParameter(0.0f, 3e6f, 7e6f, 1e7f, 1234567.891f, 0.0f, 1.0f)));
  EXPECT_TRUE(std::isfinite(BezierTimeParameter(0, 1, 2, 3, NAN, 0.0f, 1.0f)));
}

TEST(EnvelopeEvaluation, OutOfRangeCodesAndDegenerateKeysStaySafe) {
  // Unknown post code extends the last span; unknown pre code the first.
  const Envelope envelope = Make({Key(0, 0), Key(1, 10), Key(2, 20)}, -1, 99);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(envelope, 3.0f), 30.0f);
  EXPECT_FLOAT_EQ(EvaluateEnvelope(envelope, -1.0f), -10.0f);
  // First and last key at the same time with a wrap: the first key's time.
  const Envelope same = Make({Key(1, 5), Key(1, 7)}, kBehaviorOffsetRepeat, kBehaviorRepeat);
  EXPECT_EQ(EvaluateEnvelope(same, 4.0f), 5.0f);
  EXPECT_EQ(EvaluateEnvelope(same, -4.0f), 5.0f);
  const Envelope flatLinear = Make({Key(1, 5), Key(1, 7)}, kBehaviorLinear, kBehaviorLinear);
  EXPECT_TRUE(std::isfinite(EvaluateEnvelope(flatLinear, 3.0f)));
  // Unknown span shapes give the offset alone.
  EXPECT_EQ(EvaluateEnvelope(Make({Key(0, 3), Key(1, 5, 9)}), 0.5f), 0.0f);
}

}  // namespace
}  // namespace stagwerk
