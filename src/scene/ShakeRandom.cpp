#include "scene/ShakeRandom.h"

namespace stagwerk {

namespace {

uint32_t state = 1;

}  // namespace

int ShakeRandom() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

void SeedShakeRandom(uint32_t seed) { state = seed; }

uint32_t ShakeRandomState() { return state; }

}  // namespace stagwerk
