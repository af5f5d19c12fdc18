// Tracker modules from the fuzzer's bytes, as the music player loads them:
// refused with a reason, or played a little, sought and played again. The
// seed is build/tools/music/make_test_module's song.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/ModuleRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  constexpr int kRate = 8000;  // low, so that each run stays short
  constexpr std::size_t kFrames = 512;
  try {
    stagwerk::ModuleRenderer module(std::vector<uint8_t>(data, data + size));
    std::array<float, 2 * kFrames> out{};
    for (int i = 0; i < 8; ++i) {
      const std::size_t done = module.Render(out.data(), kFrames, kRate);
      if (done > kFrames) std::abort();
      if (done < kFrames) break;
    }
    const double target = size > 0 ? data[size - 1] * 0.05 : 0.0;
    if (module.Seek(target, kRate) > target) std::abort();  // never past the time asked for
    if (module.Render(out.data(), kFrames, kRate) > kFrames) std::abort();
  } catch (const std::runtime_error&) {
  }
  return 0;
}
