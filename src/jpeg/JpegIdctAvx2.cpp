// Inverse DCT with AVX2: a whole row of the block in one register. The
// column pass runs on rows as they are loaded, one transpose turns columns
// into registers for the row pass, and the finished samples are turned back
// into rows as bytes, where a transpose costs far less than in floats.

#include "jpeg/JpegIdctFlow.h"
#include "jpeg/JpegIdctPaths.h"

#if defined(STAGWERK_JPEG_AVX2)

#include <immintrin.h>

namespace jpeg {

namespace {

JPEG_TARGET_AVX2 inline __m256 LoadScaledRow(const int16_t* c, const float* q) {
  __m256i v = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
  return _mm256_mul_ps(_mm256_cvtepi32_ps(v), _mm256_loadu_ps(q));
}

JPEG_TARGET_AVX2 inline void Transpose8x8(__m256& r0, __m256& r1, __m256& r2, __m256& r3, __m256& r4, __m256& r5,
                                          __m256& r6, __m256& r7) {
  __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
  __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
  __m256 t4 = _mm256_unpacklo_ps(r4, r5), t5 = _mm256_unpackhi_ps(r4, r5);
  __m256 t6 = _mm256_unpacklo_ps(r6, r7), t7 = _mm256_unpackhi_ps(r6, r7);
  __m256 s0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
  __m256 s1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 s2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
  __m256 s3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 s4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
  __m256 s5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
  __m256 s6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
  __m256 s7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
  r0 = _mm256_permute2f128_ps(s0, s4, 0x20);
  r1 = _mm256_permute2f128_ps(s1, s5, 0x20);
  r2 = _mm256_permute2f128_ps(s2, s6, 0x20);
  r3 = _mm256_permute2f128_ps(s3, s7, 0x20);
  r4 = _mm256_permute2f128_ps(s0, s4, 0x31);
  r5 = _mm256_permute2f128_ps(s1, s5, 0x31);
  r6 = _mm256_permute2f128_ps(s2, s6, 0x31);
  r7 = _mm256_permute2f128_ps(s3, s7, 0x31);
}

// Level shift, clamp and round (to nearest even, as lrintf does) of one column.
JPEG_TARGET_AVX2 inline __m256i ToSamples(__m256 v) {
  v = _mm256_add_ps(v, _mm256_set1_ps(128.0f));
  v = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
  return _mm256_cvtps_epi32(v);
}

JPEG_TARGET_AVX2 inline void StoreTwoRows(__m128i rows, uint8_t* first, ptrdiff_t stride) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(first), rows);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(first + stride), _mm_unpackhi_epi64(rows, rows));
}

}  // namespace

JPEG_TARGET_AVX2 void InverseDctAvx2(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride,
                                     bool dcOnly) {
  if (dcOnly) {
    FillDc(coef, qf, out, stride);
    return;
  }
  // Named registers rather than an array, which the compiler would keep on
  // the stack.
  __m256 r0 = LoadScaledRow(coef, qf), r1 = LoadScaledRow(coef + 8, qf + 8);
  __m256 r2 = LoadScaledRow(coef + 16, qf + 16), r3 = LoadScaledRow(coef + 24, qf + 24);
  __m256 r4 = LoadScaledRow(coef + 32, qf + 32), r5 = LoadScaledRow(coef + 40, qf + 40);
  __m256 r6 = LoadScaledRow(coef + 48, qf + 48), r7 = LoadScaledRow(coef + 56, qf + 56);
  flow::Idct1D(r0, r1, r2, r3, r4, r5, r6, r7);
  Transpose8x8(r0, r1, r2, r3, r4, r5, r6, r7);
  flow::Idct1D(r0, r1, r2, r3, r4, r5, r6, r7);
  // rN now holds column N. Packing pairs of columns keeps rows 0-3 in the
  // low lane and rows 4-7 in the high one: bytes (column, row) per lane.
  __m256i p01 = _mm256_packs_epi32(ToSamples(r0), ToSamples(r1));
  __m256i p23 = _mm256_packs_epi32(ToSamples(r2), ToSamples(r3));
  __m256i p45 = _mm256_packs_epi32(ToSamples(r4), ToSamples(r5));
  __m256i p67 = _mm256_packs_epi32(ToSamples(r6), ToSamples(r7));
  // Each lane: columns 0-3 (or 4-7) of four rows, four bytes per column.
  const __m256i byRow = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,  //
                                         0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  __m256i left = _mm256_shuffle_epi8(_mm256_packus_epi16(p01, p23), byRow);
  __m256i right = _mm256_shuffle_epi8(_mm256_packus_epi16(p45, p67), byRow);
  __m256i rows01_45 = _mm256_unpacklo_epi32(left, right);
  __m256i rows23_67 = _mm256_unpackhi_epi32(left, right);
  StoreTwoRows(_mm256_castsi256_si128(rows01_45), out, stride);
  StoreTwoRows(_mm256_castsi256_si128(rows23_67), out + 2 * stride, stride);
  StoreTwoRows(_mm256_extracti128_si256(rows01_45, 1), out + 4 * stride, stride);
  StoreTwoRows(_mm256_extracti128_si256(rows23_67, 1), out + 6 * stride, stride);
}

}  // namespace jpeg

#endif
