// Saved sync tracks from the fuzzer's bytes: keys sorted strictly by row
// with shapes 0 to 3 and finite values, written back byte for byte, or
// refused with a LoadError.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/LoadError.h"
#include "sync/TrackFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  try {
    const std::vector<stagwerk::SyncKey> keys = stagwerk::ParseTrackFile(data, size, "fuzz.track");
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (static_cast<uint8_t>(keys[i].shape) > stagwerk::kLastKeyShape || !std::isfinite(keys[i].value)) std::abort();
      if (i > 0 && keys[i].row <= keys[i - 1].row) std::abort();
    }
    // The format has one spelling of a track: what was read is what is written.
    const std::string again = stagwerk::EncodeTrackFile(keys);
    if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    stagwerk::SyncTrack track;
    track.SetKeys(keys);
    if (!keys.empty()) {
      const double mid = keys.front().row + (static_cast<double>(keys.back().row) - keys.front().row) / 3;
      if (!std::isfinite(*track.ValueAt(mid))) std::abort();
    }
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
