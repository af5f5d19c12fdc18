// The CPU side of --supersample: a 1920x1080 frame filtered down from its
// picture drawn at 2x (3840x2160) by the box filter, against the floor of
// only reading those bytes once (a plain sum). The GL's part (drawing the
// larger picture and reading it back) is in the capture benchmark.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "app/capture/FrameAccumulator.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::vector<unsigned char> Picture(int scale) {
  std::vector<unsigned char> p(std::size_t(3) * kWidth * kHeight * scale * scale);
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
  return p;
}

void BoxFilter(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  const std::vector<unsigned char> picture = Picture(scale);
  stagwerk::FrameAccumulator accumulator(kWidth, kHeight, scale);
  std::vector<unsigned char> frame;
  for (auto _ : state) {
    accumulator.Add(picture);
    accumulator.TakeMean(frame);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(picture.size()));
}
BENCHMARK(BoxFilter)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

void ReadOnce(benchmark::State& state) {
  const std::vector<unsigned char> picture = Picture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::accumulate(picture.begin(), picture.end(), uint64_t{0}));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(picture.size()));
}
BENCHMARK(ReadOnce)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
