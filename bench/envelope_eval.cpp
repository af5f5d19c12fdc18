// Envelope evaluations per second for 30-key curves, at times spread over
// the keyed interval and past both ends.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "anim/EnvelopeEvaluation.h"

namespace {

using stagwerk::Envelope;
using stagwerk::EnvelopeKey;

Envelope MakeEnvelope(int32_t shape, int32_t pre, int32_t post) {
  std::vector<EnvelopeKey> keys(30);
  for (int i = 0; i < 30; ++i) {
    EnvelopeKey& key = keys[static_cast<std::size_t>(i)];
    key.time = static_cast<float>(i) * 0.5f;
    key.value = std::sin(static_cast<float>(i) * 0.7f) * 10.0f;
    key.shape = shape;
    key.tension = 0.1f;
    key.continuity = -0.2f;
    key.bias = 0.3f;
    key.param0 = -0.15f;
    key.param1 = 0.4f;
    key.param2 = 0.15f;
    key.param3 = -0.4f;
  }
  return Envelope(std::move(keys), pre, post);
}

void Run(benchmark::State& state, const Envelope& envelope) {
  std::vector<float> times;
  for (int i = 0; i < 1024; ++i) times.push_back(-3.0f + static_cast<float>(i) * (21.0f / 1024.0f));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stagwerk::EvaluateEnvelope(envelope, times[i]));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Tcb30(benchmark::State& state) {
  Run(state, MakeEnvelope(stagwerk::kShapeTcb, stagwerk::kBehaviorRepeat, stagwerk::kBehaviorOscillate));
}
void BM_Bezier2D30(benchmark::State& state) {
  Run(state, MakeEnvelope(stagwerk::kShapeBezier2D, stagwerk::kBehaviorOffsetRepeat, stagwerk::kBehaviorRepeat));
}
void BM_Linear30(benchmark::State& state) {
  Run(state, MakeEnvelope(stagwerk::kShapeLinear, stagwerk::kBehaviorConstant, stagwerk::kBehaviorLinear));
}

BENCHMARK(BM_Tcb30);
BENCHMARK(BM_Bezier2D30);
BENCHMARK(BM_Linear30);

}  // namespace

BENCHMARK_MAIN();
