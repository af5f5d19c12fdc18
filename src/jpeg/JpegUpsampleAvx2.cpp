// The 2:1 triangle filter with AVX2, sixteen input samples a step.

#include "jpeg/JpegUpsamplePaths.h"

#if defined(STAGWERK_JPEG_AVX2)

#include <immintrin.h>

namespace jpeg {

namespace {

JPEG_TARGET_AVX2 inline __m256i Widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

JPEG_TARGET_AVX2 inline __m256i Load16(const uint16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// even[i], odd[i] -> out[2i], out[2i+1]: unpack and packus both work per
// lane, and together keep the order.
JPEG_TARGET_AVX2 inline void StorePairs(uint8_t* out, __m256i even, __m256i odd) {
  __m256i lo = _mm256_unpacklo_epi16(even, odd), hi = _mm256_unpackhi_epi16(even, odd);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(lo, hi));
}

}  // namespace

JPEG_TARGET_AVX2 int UpsampleAcrossAvx2(const uint8_t* in, uint8_t* out, int x, int w) {
  const __m256i one = _mm256_set1_epi16(1), two = _mm256_set1_epi16(2);
  for (; x + 16 < w; x += 16) {
    __m256i a = Widen(in + x), l = Widen(in + x - 1), r = Widen(in + x + 1);
    __m256i a3 = _mm256_add_epi16(_mm256_add_epi16(a, a), a);
    __m256i even = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a3, l), one), 2);
    __m256i odd = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a3, r), two), 2);
    StorePairs(out + 2 * x, even, odd);
  }
  return x;
}

JPEG_TARGET_AVX2 int ColumnSumsAvx2(const uint8_t* nearRow, const uint8_t* farRow, uint16_t* sums, int w) {
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    __m256i n = Widen(nearRow + x), f = Widen(farRow + x);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + x), _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(n, n), n), f));
  }
  return x;
}

JPEG_TARGET_AVX2 int UpsampleSumsAcrossAvx2(const uint16_t* sums, uint8_t* out, int x, int w) {
  const __m256i eight = _mm256_set1_epi16(8), seven = _mm256_set1_epi16(7);
  for (; x + 16 < w; x += 16) {
    __m256i a = Load16(sums + x), l = Load16(sums + x - 1), r = Load16(sums + x + 1);
    __m256i a3 = _mm256_add_epi16(_mm256_add_epi16(a, a), a);
    __m256i even = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a3, l), eight), 4);
    __m256i odd = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(a3, r), seven), 4);
    StorePairs(out + 2 * x, even, odd);
  }
  return x;
}

}  // namespace jpeg

#endif
