#pragma once
// Many envelopes in flat arrays, for evaluating all of a scene's each frame:
// every curve's keys contiguous, each span's tangents worked out once when
// it is added, and the span a curve was last read in kept by the caller,
// since consecutive frames land in the same span or the next. The values
// are bit for bit those of EvaluateEnvelope.
#include <cstdint>
#include <vector>

#include "anim/Envelope.h"

namespace stagwerk {

class EnvelopeTable {
 public:
  // The index of the new curve, a copy of the envelope's keys.
  uint32_t Add(const Envelope& envelope);
  // A curve that is value at every time, as a lone key is.
  uint32_t AddConstant(float value);
  // A curve without keys, which reads 0 everywhere.
  uint32_t AddEmpty();

  // The curve's value at t. span: where the search starts and where it
  // ended, 0 for a curve never read; any value gives the same result.
  float Evaluate(uint32_t curve, float t, uint32_t& span) const;

  uint32_t curveCount() const { return static_cast<uint32_t>(curves_.size()); }

 private:
  struct Curve {
    uint32_t first = 0;  // into keys_
    uint32_t count = 0;
    uint8_t pre = 0, post = 0;
    bool ordered = true;  // key times never decrease: the search may start anywhere
  };
  // A key, and the span from it to the next with the tangents its shape
  // needs; a 2D Bezier span's handles are in handles_.
  struct Key {
    float time = 0.0f;
    float value = 0.0f;
    float out = 0.0f;
    float in = 0.0f;
    int32_t shape = 0;  // of the span's end key, which decides its curve
    uint32_t handle = 0;
  };
  struct Handles {
    float x1, x2, y1, y2;
  };
  struct Slopes {
    float before = 0.0f, after = 0.0f;  // of the linear behaviours
  };

  float Span(const Key* k, uint32_t i, float t, float offset) const;

  std::vector<Curve> curves_;
  std::vector<Slopes> slopes_;
  std::vector<Key> keys_;
  std::vector<Handles> handles_;
};

}  // namespace stagwerk
