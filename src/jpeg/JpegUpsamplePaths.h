#pragma once
// AVX2 steps of the 2:1 chroma upsampling; each does what it can of a row
// and answers the first position it left, which the SSE2 and scalar loops
// of the output stage finish with the same sums.

#include "jpeg/JpegCpu.h"

#include <cstdint>

namespace jpeg {

#if defined(STAGWERK_JPEG_AVX2)
// Samples x.. of a row sampled half as often across: out[2x] and out[2x+1]
// from in[x-1], in[x], in[x+1]. Needs x >= 1.
int UpsampleAcrossAvx2(const uint8_t* in, uint8_t* out, int x, int w);
// 3 x nearer + farther row, x from 0.
int ColumnSumsAvx2(const uint8_t* nearRow, const uint8_t* farRow, uint16_t* sums, int w);
// The same across as UpsampleAcrossAvx2, on column sums (weights of 16).
int UpsampleSumsAcrossAvx2(const uint16_t* sums, uint8_t* out, int x, int w);
#endif

}  // namespace jpeg
