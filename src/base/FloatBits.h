#pragma once
// A number's bits, for comparing values exactly (signed zeros and NaNs
// included); every standard library here has memcpy, not all bit_cast.
#include <cstdint>
#include <cstring>

namespace stagwerk {

inline uint32_t FloatBits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

inline uint64_t DoubleBits(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

}  // namespace stagwerk
