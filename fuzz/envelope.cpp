// Channel blocks and animated values, parsed and evaluated at awkward times,
// and the flat curves the frame reads checked against them bit for bit.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "anim/Envelope.h"
#include "anim/EnvelopeEvaluation.h"
#include "anim/EnvelopeTable.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace {

void Evaluate(const stagwerk::Envelope& envelope) {
  const stagwerk::EnvelopeKey* keys = envelope.keys();
  const float times[] = {-1e30f, -100.5f, -1.0f, 0.0f, 0.25f, 1.0f, 7.75f, 1e30f,
                         std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                         keys[0].time, keys[envelope.count() - 1].time, keys[0].time - 0.5f};
  stagwerk::EnvelopeTable table;
  const uint32_t curve = table.Add(envelope);
  uint32_t span = 0;  // carried from time to time, as from frame to frame
  for (float t : times) {
    const float v = stagwerk::EvaluateEnvelope(envelope, t);
    if (std::bit_cast<uint32_t>(table.Evaluate(curve, t, span)) != std::bit_cast<uint32_t>(v)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the reader, the rest is scene text.
  stagwerk::SceneReader reader(data + 1, static_cast<uint32_t>(size - 1));
  try {
    if (data[0] & 1) {
      const stagwerk::MotionChannels motion = stagwerk::ReadMotionChannels(reader);
      for (const auto& channel : motion.channels) Evaluate(channel);
    } else {
      const stagwerk::ScalarOrEnvelope scalar = stagwerk::ReadScalarOrEnvelope(reader);
      if (scalar.envelope) Evaluate(*scalar.envelope);
    }
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
