// JFIF YCbCr to RGB in 14-bit fixed point, a form the SIMD paths compute
// exactly (pmaddwd), so that every path gives the same bytes:
//   R = Y + (1.402 Cr' + 1/2), G = Y - (0.344136 Cb' + 0.714136 Cr' - 1/2),
//   B = Y + (1.772 Cb' + 1/2), with Cb' = Cb - 128, Cr' = Cr - 128.

#include "jpeg/JpegColorPaths.h"

#include "jpeg/JpegColorConstants.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

namespace {

struct ColorTables {
  int32_t crR[256], cbB[256], crG[256], cbG[256];
  ColorTables() {
    for (int i = 0; i < 256; ++i) {
      int x = i - 128;
      crR[i] = (x * kCrR + kHalf) >> 14;
      cbB[i] = (x * kCbB + kHalf) >> 14;
      cbG[i] = x * kCbG;
      crG[i] = x * kCrG + kHalf;
    }
  }
};

const ColorTables& Tables() {
  static const ColorTables tables;
  return tables;
}

inline uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

template <int D>
void Tail(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out, int from, int w,
          int ch) {
  const ColorTables& t = Tables();
  out += static_cast<ptrdiff_t>(from) * ch;
  for (int x = from; x < w; ++x, out += ch) {
    int yy = y[x];
    int u = cb[x], v = cr[x];
    uint8_t r = Clamp(yy + t.crR[v]), g = Clamp(yy + ((t.cbG[u] + t.crG[v]) >> 14)), b = Clamp(yy + t.cbB[u]);
    out[0] = D == kOrderBgr ? b : r;
    out[1] = g;
    out[2] = D == kOrderBgr ? r : b;
    if constexpr (D == kOrderRgba) out[3] = a ? a[x] : 255;
  }
}

#if defined(__SSE2__)
// Eight pixels: R, G and B as bytes in the low halves of r, g, b.
inline void Ycc8(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, __m128i& r, __m128i& g, __m128i& b) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c128 = _mm_set1_epi16(128);
  const __m128i one = _mm_set1_epi16(1);
  __m128i yy = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y)), zero);
  __m128i u = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)), zero), c128);
  __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)), zero), c128);
  const __m128i kR = _mm_set1_epi32((kHalf << 16) | kCrR);
  const __m128i kB = _mm_set1_epi32((kHalf << 16) | kCbB);
  const __m128i kG = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(kCrG) << 16) | (kCbG & 0xFFFF)));
  const __m128i half = _mm_set1_epi32(kHalf);
  __m128i rt = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(v, one), kR), 14),
                               _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(v, one), kR), 14));
  __m128i bt = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(u, one), kB), 14),
                               _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(u, one), kB), 14));
  __m128i gt = _mm_packs_epi32(
      _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(u, v), kG), half), 14),
      _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(u, v), kG), half), 14));
  r = _mm_packus_epi16(_mm_add_epi16(yy, rt), zero);
  g = _mm_packus_epi16(_mm_add_epi16(yy, gt), zero);
  b = _mm_packus_epi16(_mm_add_epi16(yy, bt), zero);
}

template <int D>
void RowSse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out, int w, int ch) {
  int x = 0;
  if ((D != kOrderRgba && ch == 3) || (D == kOrderRgba && ch == 4 && a == nullptr)) {
    const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    // Pixels go out as 32-bit words; with three channels each word's top
    // byte is overwritten by the next pixel, so the last group is left to
    // the scalar loop.
    const int limit = D == kOrderRgba ? w - 7 : w - 8;
    for (; x < limit; x += 8) {
      __m128i r, g, b;
      Ycc8(y + x, cb + x, cr + x, r, g, b);
      __m128i first = D == kOrderBgr ? b : r;
      __m128i third = D == kOrderBgr ? r : b;
      __m128i lo2 = _mm_unpacklo_epi8(first, g);
      __m128i hi2 = _mm_unpacklo_epi8(third, opaque);
      __m128i p0 = _mm_unpacklo_epi16(lo2, hi2);
      __m128i p1 = _mm_unpackhi_epi16(lo2, hi2);
      uint8_t* o = out + static_cast<ptrdiff_t>(x) * ch;
      if constexpr (D == kOrderRgba) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), p0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), p1);
      } else {
        alignas(16) uint32_t words[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(words), p0);
        _mm_store_si128(reinterpret_cast<__m128i*>(words + 4), p1);
        for (int i = 0; i < 8; ++i) std::memcpy(o + 3 * i, &words[i], 4);
      }
    }
  }
  Tail<D>(y, cb, cr, a, out, x, w, ch);
}
#endif

}  // namespace

void YccTail(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
             int from, int w, int ch) {
  switch (order) {
    case kOrderRgb: Tail<kOrderRgb>(y, cb, cr, a, out, from, w, ch); return;
    case kOrderBgr: Tail<kOrderBgr>(y, cb, cr, a, out, from, w, ch); return;
    default: Tail<kOrderRgba>(y, cb, cr, a, out, from, w, ch); return;
  }
}

void YccRowScalar(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                  int w, int ch) {
  YccTail(order, y, cb, cr, a, out, 0, w, ch);
}

#if defined(__SSE2__)
void YccRowSse2(int order, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, const uint8_t* a, uint8_t* out,
                int w, int ch) {
  switch (order) {
    case kOrderRgb: RowSse2<kOrderRgb>(y, cb, cr, a, out, w, ch); return;
    case kOrderBgr: RowSse2<kOrderBgr>(y, cb, cr, a, out, w, ch); return;
    default: RowSse2<kOrderRgba>(y, cb, cr, a, out, w, ch); return;
  }
}
#endif

YccRowFunction ChooseYccRow() {
#if defined(STAGWERK_JPEG_AVX2)
  if (UseAvx2()) return YccRowAvx2;
#endif
#if defined(__SSE2__)
  return YccRowSse2;
#else
  return YccRowScalar;
#endif
}

}  // namespace jpeg
