#pragma once
// JFIF YCbCr to RGB for one row of samples, on every path the processor may
// run; all give the same bytes. order: 1 red, green, blue; 2 blue, green,
// red; 3 red, green, blue, opacity (from a, or 255 when a is null). Pixels are
// ch bytes apart, at least 3 (4 for order 3).

#include "jpeg/JpegCpu.h"

#include <cstddef>
#include <cstdint>

namespace jpeg {

enum ColorOrder { kOrderRgb = 1, kOrderBgr = 2, kOrderRgba = 3 };

using YccRowFunction = void (*)(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a,
                                uint8_t* out, int w, int ch);

void YccRowScalar(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                  int w, int ch);
#if defined(__SSE2__)
void YccRowSse2(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                int w, int ch);
#endif
#if defined(STAGWERK_JPEG_AVX2)
void YccRowAvx2(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                int w, int ch);
#endif

// The fastest path this processor runs.
YccRowFunction ChooseYccRow();

// Pixels from..w-1 of a row, the reference every path finishes with.
void YccTail(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
             int from, int w, int ch);

}  // namespace jpeg
