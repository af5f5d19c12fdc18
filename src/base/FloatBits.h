#pragma once
// IEEE bits of numbers, for files and the editor that carry them and for
// comparing values exactly (signed zeros and NaNs included); no
// std::bit_cast in the browser build's libc++.
#include <cstdint>
#include <cstring>

namespace stagwerk {

inline float FloatFromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline uint32_t BitsOfFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline uint64_t BitsOfDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace stagwerk
