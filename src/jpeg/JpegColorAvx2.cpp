// YCbCr to RGB with AVX2: thirty-two pixels a step in 16-bit lanes, the same
// fixed-point sums as the other paths, then the bytes of each pixel put in
// place by byte shuffles instead of one store per pixel.

#include "jpeg/JpegColorConstants.h"
#include "jpeg/JpegColorPaths.h"

#if defined(STAGWERK_JPEG_AVX2)

#include <cstddef>

#include <immintrin.h>

namespace jpeg {

namespace {

// For each 16-byte piece of 16 three-byte pixels and each of the three
// sources: which byte of the source lands where (-128: none).
struct InterleaveMasks {
  int8_t m[3][3][16];
};

constexpr InterleaveMasks MakeInterleaveMasks() {
  InterleaveMasks k{};
  for (int piece = 0; piece < 3; ++piece)
    for (int src = 0; src < 3; ++src)
      for (int j = 0; j < 16; ++j) {
        int pos = piece * 16 + j;
        k.m[piece][src][j] = static_cast<int8_t>(pos % 3 == src ? pos / 3 : -128);
      }
  return k;
}

constexpr InterleaveMasks kInterleave = MakeInterleaveMasks();

JPEG_TARGET_AVX2 inline __m256i Widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Sixteen pixels as 16-bit R, G, B (not yet clamped). (2x * k + 2^14) >> 15,
// which mulhrs computes, is exactly (x * k + 2^13) >> 14: R and B take one
// multiply each. G sums two products before rounding, so it stays with madd.
JPEG_TARGET_AVX2 inline void Ycc16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m256i& r, __m256i& g,
                                   __m256i& b) {
  const __m256i c128 = _mm256_set1_epi16(128);
  const __m256i kG = _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(kCrG) << 16) | (kCbG & 0xFFFF)));
  const __m256i half = _mm256_set1_epi32(kHalf);
  __m256i yy = Widen(y);
  __m256i u = _mm256_sub_epi16(Widen(cb), c128);
  __m256i v = _mm256_sub_epi16(Widen(cr), c128);
  r = _mm256_add_epi16(yy, _mm256_mulhrs_epi16(_mm256_add_epi16(v, v), _mm256_set1_epi16(kCrR)));
  b = _mm256_add_epi16(yy, _mm256_mulhrs_epi16(_mm256_add_epi16(u, u), _mm256_set1_epi16(kCbB)));
  // unpacklo/hi take pixels 0-3, 8-11 and 4-7, 12-15; packs puts them back in order.
  __m256i gt = _mm256_packs_epi32(
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(u, v), kG), half), 14),
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(u, v), kG), half), 14));
  g = _mm256_add_epi16(yy, gt);
}

// Clamps two runs of sixteen 16-bit values to bytes: pixels 0-15 in the low
// lane, 16-31 in the high one (packus works per lane, the permute restores
// the order).
JPEG_TARGET_AVX2 inline __m256i Pack32(__m256i first, __m256i second) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), _MM_SHUFFLE(3, 1, 2, 0));
}

JPEG_TARGET_AVX2 inline void Ycc32(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m256i& r, __m256i& g,
                                   __m256i& b) {
  __m256i r0, g0, b0, r1, g1, b1;
  Ycc16(y, cb, cr, r0, g0, b0);
  Ycc16(y + 16, cb + 16, cr + 16, r1, g1, b1);
  r = Pack32(r0, r1);
  g = Pack32(g0, g1);
  b = Pack32(b0, b1);
}

JPEG_TARGET_AVX2 inline __m256i Mask(int piece, int src) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave.m[piece][src])));
}

JPEG_TARGET_AVX2 inline void StoreLanes(uint8_t* lowLane, uint8_t* highLane, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lowLane), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(highLane), _mm256_extracti128_si256(v, 1));
}

JPEG_TARGET_AVX2 void Row3(bool bgr, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int& x,
                           int w) {
  const __m256i m00 = Mask(0, 0), m01 = Mask(0, 1), m02 = Mask(0, 2);
  const __m256i m10 = Mask(1, 0), m11 = Mask(1, 1), m12 = Mask(1, 2);
  const __m256i m20 = Mask(2, 0), m21 = Mask(2, 1), m22 = Mask(2, 2);
  for (; x + 32 <= w; x += 32) {
    __m256i r, g, b;
    Ycc32(y + x, cb + x, cr + x, r, g, b);
    __m256i first = bgr ? b : r;
    __m256i third = bgr ? r : b;
    // Each lane makes the 48 bytes of its sixteen pixels.
    uint8_t* o = out + 3 * static_cast<ptrdiff_t>(x);
    StoreLanes(o, o + 48, _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, m00), _mm256_shuffle_epi8(g, m01)),
                                       _mm256_shuffle_epi8(third, m02)));
    StoreLanes(o + 16, o + 64,
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, m10), _mm256_shuffle_epi8(g, m11)),
                            _mm256_shuffle_epi8(third, m12)));
    StoreLanes(o + 32, o + 80,
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, m20), _mm256_shuffle_epi8(g, m21)),
                            _mm256_shuffle_epi8(third, m22)));
  }
}

JPEG_TARGET_AVX2 void Row4(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int& x, int w) {
  const __m256i opaque = _mm256_set1_epi8(static_cast<char>(0xFF));
  for (; x + 32 <= w; x += 32) {
    __m256i r, g, b;
    Ycc32(y + x, cb + x, cr + x, r, g, b);
    // Per lane: pixels 0-7 and 8-15 of that lane's sixteen.
    __m256i rgLo = _mm256_unpacklo_epi8(r, g), rgHi = _mm256_unpackhi_epi8(r, g);
    __m256i baLo = _mm256_unpacklo_epi8(b, opaque), baHi = _mm256_unpackhi_epi8(b, opaque);
    uint8_t* o = out + 4 * static_cast<ptrdiff_t>(x);
    StoreLanes(o, o + 64, _mm256_unpacklo_epi16(rgLo, baLo));
    StoreLanes(o + 16, o + 80, _mm256_unpackhi_epi16(rgLo, baLo));
    StoreLanes(o + 32, o + 96, _mm256_unpacklo_epi16(rgHi, baHi));
    StoreLanes(o + 48, o + 112, _mm256_unpackhi_epi16(rgHi, baHi));
  }
}

}  // namespace

void YccRowAvx2(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                int w, int ch) {
  int x = 0;
  if (order != kOrderRgba && ch == 3) {
    Row3(order == kOrderBgr, y, cb, cr, out, x, w);
  } else if (order == kOrderRgba && ch == 4 && a == nullptr) {
    Row4(y, cb, cr, out, x, w);
  }
  YccTail(order, y, cb, cr, a, out, x, w, ch);
}

}  // namespace jpeg

#endif
