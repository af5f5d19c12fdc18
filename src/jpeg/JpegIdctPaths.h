#pragma once
// Every inverse-DCT path, named so that tests can hold them against each
// other: all of them give the same bytes for the same block.

#include "jpeg/JpegCpu.h"

#include <cstddef>
#include <cstdint>

namespace jpeg {

void InverseDctScalar(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
#if defined(__SSE2__)
void InverseDctSimd(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
#endif
#if defined(STAGWERK_JPEG_AVX2)
void InverseDctAvx2(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
#endif

// One 8x8 block's DC alone, the same on every path.
void FillDc(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride);

}  // namespace jpeg
