#pragma once
// Both inverse-DCT paths, named so that tests can hold them against each other.

#include <cstddef>
#include <cstdint>

namespace jpeg {

void InverseDctScalar(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
#if defined(__SSE2__)
void InverseDctSimd(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
#endif

}  // namespace jpeg
