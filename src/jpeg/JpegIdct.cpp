// Inverse DCT: the Arai-Agui-Nakajima factorisation in single precision, with
// dequantisation folded into the input scale factors. Float keeps full
// accuracy without any risk of integer overflow on corrupt coefficients, and
// the SIMD paths run the very same operations in the same order, so all
// paths give bit-identical samples.

#include "jpeg/JpegIdctFlow.h"
#include "jpeg/JpegIdctPaths.h"
#include "jpeg/JpegInternal.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

namespace {

inline uint8_t ToSample(float v) {
  v += 128.0f;
  v = v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v);
  return static_cast<uint8_t>(std::lrintf(v));
}

}  // namespace

void FillDc(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride) {
  uint8_t s = ToSample(static_cast<float>(coef[0]) * qf[0]);
  for (int r = 0; r < 8; ++r) std::memset(out + r * stride, s, 8);
}

// Scale factors of the AAN flowgraph: s[0] = 1, s[k] = sqrt(2) cos(k pi / 16).
void PrepareQuant(const QuantTable& q, float qf[64]) {
  double s[8];
  s[0] = 1.0;
  for (int k = 1; k < 8; ++k) s[k] = std::sqrt(2.0) * std::cos(k * 3.14159265358979323846 / 16.0);
  for (int i = 0; i < 64; ++i) qf[i] = static_cast<float>(q.values[i] * s[i >> 3] * s[i & 7] / 8.0);
}

void InverseDctScalar(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly) {
  if (dcOnly) {
    FillDc(coef, qf, out, stride);
    return;
  }
  float ws[64];
  for (int c = 0; c < 8; ++c) {
    bool acZero = true;
    for (int r = 1; r < 8; ++r) acZero = acZero && coef[r * 8 + c] == 0;
    float x0 = static_cast<float>(coef[c]) * qf[c];
    if (acZero) {
      // The flowgraph reproduces x0 exactly on every row in this case.
      for (int r = 0; r < 8; ++r) ws[r * 8 + c] = x0;
      continue;
    }
    float x[8];
    x[0] = x0;
    for (int r = 1; r < 8; ++r) x[r] = static_cast<float>(coef[r * 8 + c]) * qf[r * 8 + c];
    flow::Idct1D(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]);
    for (int r = 0; r < 8; ++r) ws[r * 8 + c] = x[r];
  }
  for (int r = 0; r < 8; ++r) {
    float* w = ws + r * 8;
    flow::Idct1D(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
    uint8_t* o = out + r * stride;
    for (int c = 0; c < 8; ++c) o[c] = ToSample(w[c]);
  }
}

#if defined(__SSE2__)
namespace {

inline __m128 LoadScaled(const int16_t* c, const float* q) {
  __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c));
  v = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
  return _mm_mul_ps(_mm_cvtepi32_ps(v), _mm_loadu_ps(q));
}

// Transposes the 8x8 matrix held as r[row][half].
inline void Transpose(__m128 r[8][2]) {
  __m128 a0 = r[0][0], a1 = r[1][0], a2 = r[2][0], a3 = r[3][0];
  __m128 b0 = r[0][1], b1 = r[1][1], b2 = r[2][1], b3 = r[3][1];
  __m128 c0 = r[4][0], c1 = r[5][0], c2 = r[6][0], c3 = r[7][0];
  __m128 d0 = r[4][1], d1 = r[5][1], d2 = r[6][1], d3 = r[7][1];
  _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
  _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
  _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
  _MM_TRANSPOSE4_PS(d0, d1, d2, d3);
  r[0][0] = a0, r[1][0] = a1, r[2][0] = a2, r[3][0] = a3;
  r[0][1] = c0, r[1][1] = c1, r[2][1] = c2, r[3][1] = c3;
  r[4][0] = b0, r[5][0] = b1, r[6][0] = b2, r[7][0] = b3;
  r[4][1] = d0, r[5][1] = d1, r[6][1] = d2, r[7][1] = d3;
}

}  // namespace

void InverseDctSimd(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly) {
  if (dcOnly) {
    FillDc(coef, qf, out, stride);
    return;
  }
  __m128 r[8][2];
  // Columns 4-7 without coefficients transform to exact zeros.
  bool rightZero = true;
  for (int i = 0; i < 8 && rightZero; ++i) {
    uint64_t bits;
    std::memcpy(&bits, coef + i * 8 + 4, 8);
    rightZero = bits == 0;
  }
  for (int i = 0; i < 8; ++i) {
    r[i][0] = LoadScaled(coef + i * 8, qf + i * 8);
    r[i][1] = rightZero ? _mm_setzero_ps() : LoadScaled(coef + i * 8 + 4, qf + i * 8 + 4);
  }
  flow::Idct1D(r[0][0], r[1][0], r[2][0], r[3][0], r[4][0], r[5][0], r[6][0], r[7][0]);
  if (!rightZero) flow::Idct1D(r[0][1], r[1][1], r[2][1], r[3][1], r[4][1], r[5][1], r[6][1], r[7][1]);
  Transpose(r);
  for (int h = 0; h < 2; ++h) flow::Idct1D(r[0][h], r[1][h], r[2][h], r[3][h], r[4][h], r[5][h], r[6][h], r[7][h]);
  Transpose(r);
  const __m128 bias = _mm_set1_ps(128.0f);
  const __m128 zero = _mm_setzero_ps();
  const __m128 top = _mm_set1_ps(255.0f);
  for (int i = 0; i < 8; ++i) {
    __m128 lo = _mm_min_ps(_mm_max_ps(_mm_add_ps(r[i][0], bias), zero), top);
    __m128 hi = _mm_min_ps(_mm_max_ps(_mm_add_ps(r[i][1], bias), zero), top);
    __m128i w = _mm_packs_epi32(_mm_cvtps_epi32(lo), _mm_cvtps_epi32(hi));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), _mm_packus_epi16(w, w));
  }
}
#endif

IdctFunction ChooseIdct() {
#if defined(STAGWERK_JPEG_AVX2)
  if (UseAvx2()) return InverseDctAvx2;
#endif
#if defined(__SSE2__)
  return InverseDctSimd;
#else
  return InverseDctScalar;
#endif
}

}  // namespace jpeg
