#pragma once
// Keyframed curves as scene files write them, and the containers that carry
// them: an item's motion channels and a number that may be animated.
#include <cstdint>
#include <memory>
#include <vector>

namespace stagwerk {

class SceneReader;

enum SpanShape : int32_t {
  kShapeTcb = 0,
  kShapeHermite = 1,
  kShapeBezier1D = 2,
  kShapeLinear = 3,
  kShapeStepped = 4,
  kShapeBezier2D = 5,
};

enum EnvelopeBehavior : int32_t {
  kBehaviorReset = 0,
  kBehaviorConstant = 1,
  kBehaviorRepeat = 2,
  kBehaviorOscillate = 3,
  kBehaviorOffsetRepeat = 4,
  kBehaviorLinear = 5,
};

struct EnvelopeKey {
  const EnvelopeKey* next = nullptr;
  const EnvelopeKey* prev = nullptr;
  float value = 0.0f;
  float time = 0.0f;
  int32_t shape = kShapeTcb;
  float tension = 0.0f;
  float continuity = 0.0f;
  float bias = 0.0f;
  // Parameters the key's shape does not read stay 0, so a 2D Bezier span
  // after a TCB, linear or stepped key sees a flat handle.
  float param0 = 0.0f;
  float param1 = 0.0f;
  float param2 = 0.0f;
  float param3 = 0.0f;
};

class Envelope {
 public:
  // Keys in file order, linked by next and prev. The links point into the
  // array, so an Envelope moves but never copies.
  explicit Envelope(std::vector<EnvelopeKey> keys, int32_t pre = kBehaviorConstant, int32_t post = kBehaviorConstant);
  Envelope(const Envelope&) = delete;
  Envelope& operator=(const Envelope&) = delete;
  Envelope(Envelope&&) noexcept = default;
  Envelope& operator=(Envelope&&) noexcept = default;

  const EnvelopeKey* keys() const { return keys_.data(); }
  int32_t count() const { return static_cast<int32_t>(keys_.size()); }
  int32_t pre = kBehaviorConstant;
  int32_t post = kBehaviorConstant;

 private:
  std::vector<EnvelopeKey> keys_;
};

// Channels of an item: 0-2 position, 3 heading, 4 pitch, 5 bank (radians),
// 6-8 scale. Channels past 8 are kept but never used.
struct MotionChannels {
  // Held in place, not behind pointers: a frame evaluates every channel of
  // every item, and large scenes outgrow the caches.
  std::vector<Envelope> channels;
  int32_t count() const { return static_cast<int32_t>(channels.size()); }
};

struct ScalarOrEnvelope {
  float value = 0.0f;
  std::unique_ptr<Envelope> envelope;
  float ValueAt(float t) const;
};

// Parsers. Each starts at the reader's position and throws LoadError with
// "Not Envelope", "Not Key", "Not Behaviors" or "Not NumChannels".
Envelope ReadEnvelope(SceneReader& reader);
MotionChannels ReadMotionChannels(SceneReader& reader);
ScalarOrEnvelope ReadScalarOrEnvelope(SceneReader& reader);

}  // namespace stagwerk
