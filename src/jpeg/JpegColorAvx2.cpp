// YCbCr to RGB with AVX2: sixteen pixels a step in 16-bit lanes, the same
// fixed-point sums as the other paths, then the three bytes of each pixel
// put in place by byte shuffles instead of one store per pixel.

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

// Sixteen pixels: R, G and B as bytes.
JPEG_TARGET_AVX2 inline void Ycc16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m128i& r, __m128i& g,
                                   __m128i& b) {
  const __m256i c128 = _mm256_set1_epi16(128);
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i kR = _mm256_set1_epi32((kHalf << 16) | kCrR);
  const __m256i kB = _mm256_set1_epi32((kHalf << 16) | kCbB);
  const __m256i kG = _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(kCrG) << 16) | (kCbG & 0xFFFF)));
  const __m256i half = _mm256_set1_epi32(kHalf);
  __m256i yy = Widen(y);
  __m256i u = _mm256_sub_epi16(Widen(cb), c128);
  __m256i v = _mm256_sub_epi16(Widen(cr), c128);
  // unpacklo/hi take pixels 0-3, 8-11 and 4-7, 12-15; packs puts them back in order.
  __m256i rt = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(v, one), kR), 14),
                                  _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(v, one), kR), 14));
  __m256i bt = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(u, one), kB), 14),
                                  _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(u, one), kB), 14));
  __m256i gt = _mm256_packs_epi32(
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(u, v), kG), half), 14),
      _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(u, v), kG), half), 14));
  // packus works per lane: quads R0-7 G0-7 R8-15 G8-15, reordered to R, G.
  __m256i rg = _mm256_permute4x64_epi64(
      _mm256_packus_epi16(_mm256_add_epi16(yy, rt), _mm256_add_epi16(yy, gt)), _MM_SHUFFLE(3, 1, 2, 0));
  __m256i bb = _mm256_packus_epi16(_mm256_add_epi16(yy, bt), _mm256_add_epi16(yy, bt));
  r = _mm256_castsi256_si128(rg);
  g = _mm256_extracti128_si256(rg, 1);
  b = _mm256_castsi256_si128(_mm256_permute4x64_epi64(bb, _MM_SHUFFLE(3, 1, 2, 0)));
}

JPEG_TARGET_AVX2 inline __m128i Mask(int piece, int src) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave.m[piece][src]));
}

JPEG_TARGET_AVX2 void Row3(bool bgr, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int& x,
                           int w) {
  const __m128i m00 = Mask(0, 0), m01 = Mask(0, 1), m02 = Mask(0, 2);
  const __m128i m10 = Mask(1, 0), m11 = Mask(1, 1), m12 = Mask(1, 2);
  const __m128i m20 = Mask(2, 0), m21 = Mask(2, 1), m22 = Mask(2, 2);
  for (; x + 16 <= w; x += 16) {
    __m128i r, g, b;
    Ycc16(y + x, cb + x, cr + x, r, g, b);
    __m128i first = bgr ? b : r;
    __m128i third = bgr ? r : b;
    __m128i* o = reinterpret_cast<__m128i*>(out + 3 * static_cast<ptrdiff_t>(x));
    _mm_storeu_si128(o, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, m00), _mm_shuffle_epi8(g, m01)),
                                     _mm_shuffle_epi8(third, m02)));
    _mm_storeu_si128(o + 1, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, m10), _mm_shuffle_epi8(g, m11)),
                                         _mm_shuffle_epi8(third, m12)));
    _mm_storeu_si128(o + 2, _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, m20), _mm_shuffle_epi8(g, m21)),
                                         _mm_shuffle_epi8(third, m22)));
  }
}

JPEG_TARGET_AVX2 void Row4(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int& x, int w) {
  const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
  for (; x + 16 <= w; x += 16) {
    __m128i r, g, b;
    Ycc16(y + x, cb + x, cr + x, r, g, b);
    __m128i rgLo = _mm_unpacklo_epi8(r, g), rgHi = _mm_unpackhi_epi8(r, g);
    __m128i baLo = _mm_unpacklo_epi8(b, opaque), baHi = _mm_unpackhi_epi8(b, opaque);
    __m128i* o = reinterpret_cast<__m128i*>(out + 4 * static_cast<ptrdiff_t>(x));
    _mm_storeu_si128(o, _mm_unpacklo_epi16(rgLo, baLo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(rgLo, baLo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(rgHi, baHi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(rgHi, baHi));
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
