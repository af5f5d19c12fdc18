#pragma once
// The camera shake's random numbers: the original platform's 15-bit rand(),
// default seed 1 and never reseeded by the player, so a shaking camera moves
// as it always did (a 31-bit rand() would throw it off the screen).
#include <cstdint>

namespace stagwerk {

int ShakeRandom();
// For tests and stills that want the sequence from its start.
void SeedShakeRandom(uint32_t seed = 1);
// Where the sequence is, for SeedShakeRandom to return to.
uint32_t ShakeRandomState();

}  // namespace stagwerk
