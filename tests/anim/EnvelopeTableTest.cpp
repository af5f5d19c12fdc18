// The flat curves against EvaluateEnvelope, bit for bit, on random curves of
// every shape and behaviour (keys out of order and sharing times among
// them), read at times that move on, jump back, wrap or are not numbers,
// so that the kept span is tried from every side.
#include "anim/EnvelopeTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "anim/EnvelopeEvaluation.h"
#include "base/FloatBits.h"

namespace stagwerk {
namespace {

Envelope RandomEnvelope(std::mt19937& random, bool ordered) {
  std::uniform_real_distribution<float> value(-5.0f, 5.0f);
  std::uniform_int_distribution<int> shape(0, 6), behaviour(0, 6), count(0, 7);
  std::vector<EnvelopeKey> keys(static_cast<std::size_t>(count(random)));
  float time = value(random);
  for (EnvelopeKey& key : keys) {
    // Now and then a key at the same time as the one before.
    if (random() % 5 != 0) time += ordered ? std::abs(value(random)) : value(random);
    key.time = time;
    key.value = value(random);
    key.shape = shape(random);
    key.tension = value(random) * 0.2f;
    key.continuity = value(random) * 0.2f;
    key.bias = value(random) * 0.2f;
    key.param0 = value(random);
    key.param1 = value(random);
    key.param2 = value(random) * (random() % 7 == 0 ? 0.0f : 1.0f);
    key.param3 = value(random);
  }
  return Envelope(std::move(keys), behaviour(random), random() % 9 == 0 ? 1000 : behaviour(random));
}

TEST(EnvelopeTable, ReadsAsEvaluateEnvelopeDoesBitForBit) {
  std::mt19937 random(27);
  std::uniform_real_distribution<float> jump(-30.0f, 30.0f);
  std::vector<Envelope> envelopes;
  EnvelopeTable table;
  for (int i = 0; i < 3000; ++i) {
    envelopes.push_back(RandomEnvelope(random, i % 4 != 0));
    EXPECT_EQ(table.Add(envelopes.back()), static_cast<uint32_t>(i));
  }
  const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), 0.0f, -0.0f};
  std::vector<uint32_t> spans(envelopes.size(), 0);
  int64_t compared = 0;
  for (int step = 0; step < 400; ++step) {
    // Mostly small steps on, as frames go; sometimes a jump either way.
    const float t = step % 50 == 49 ? odd[step / 50 % 5] : step % 7 == 0 ? jump(random) : step * 0.05f - 8.0f;
    for (std::size_t i = 0; i < envelopes.size(); ++i) {
      const float want = EvaluateEnvelope(envelopes[i], t);
      const float got = table.Evaluate(static_cast<uint32_t>(i), t, spans[i]);
      ASSERT_EQ(BitsOfFloat(got), BitsOfFloat(want)) << "curve " << i << " at " << t;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 400 * 3000);

  // Constant and empty curves read as a lone key and as no key.
  uint32_t span = 0;
  EXPECT_EQ(table.Evaluate(table.AddConstant(2.5f), -1e9f, span), 2.5f);
  EXPECT_EQ(table.Evaluate(table.AddEmpty(), 3.0f, span), 0.0f);
}

}  // namespace
}  // namespace stagwerk
