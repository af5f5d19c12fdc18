// Output stage: chroma upsampling by interpolation (the triangle filter for
// the common 2:1 ratios, bilinear with centred samples for the others), colour
// conversion (JpegColor) and the row layout the caller asked for.

#include "jpeg/JpegOutput.h"

#include "jpeg/JpegUpsamplePaths.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

namespace {

inline int FloorDiv(int num, int den) { return num >= 0 ? num / den : -((-num + den - 1) / den); }

// Position of output sample i on the grid of a component sampled f times
// where the frame samples fmax times: index of the sample at or before it and
// the weight (of 256) of the one after.
inline void Locate(int i, int f, int fmax, int& i0, int& w) {
  int num = (2 * i + 1) * f - fmax;
  int den = 2 * fmax;
  i0 = FloorDiv(num, den);
  int frac = num - i0 * den;
  w = (frac * 256 + den / 2) / den;
}

template <int D>
inline void Put(uint8_t* p, int r, int g, int b) {
  if constexpr (D == 1) {  // RGB
    p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b);
  } else if constexpr (D == 2) {  // BGR
    p[0] = static_cast<uint8_t>(b), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(r);
  } else {  // RGBA; opacity written by the caller
    p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b);
  }
}

template <int D>
void RgbRow(const uint8_t* r, const uint8_t* g, const uint8_t* b, const uint8_t* a, uint8_t* out, int w, int ch) {
  for (int x = 0; x < w; ++x, out += ch) {
    Put<D>(out, r[x], g[x], b[x]);
    if constexpr (D == 3) out[3] = a ? a[x] : 255;
  }
}

// The 2:1 ratios, as the triangle filter: each output sample weighs the
// nearer input sample 3/4. The SIMD steps do what they can of a row and
// answer the first position they left; the scalar loops finish it.

#if defined(__SSE2__)
int UpsampleAcrossSse2(const uint8_t* in, uint8_t* out, int x, int w) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1), two = _mm_set1_epi16(2);
  for (; x + 8 < w; x += 8) {
    __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x)), zero);
    __m128i l = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x - 1)), zero);
    __m128i r = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x + 1)), zero);
    __m128i a3 = _mm_add_epi16(_mm_add_epi16(a, a), a);
    __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a3, l), one), 2);
    __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a3, r), two), 2);
    __m128i lo = _mm_unpacklo_epi16(even, odd), hi = _mm_unpackhi_epi16(even, odd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x), _mm_packus_epi16(lo, hi));
  }
  return x;
}

int ColumnSumsSse2(const uint8_t* nearRow, const uint8_t* farRow, uint16_t* cs, int x, int w) {
  const __m128i zero = _mm_setzero_si128();
  for (; x + 8 <= w; x += 8) {
    __m128i n = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(nearRow + x)), zero);
    __m128i f = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(farRow + x)), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cs + x), _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(n, n), n), f));
  }
  return x;
}

int UpsampleSumsAcrossSse2(const uint16_t* cs, uint8_t* out, int x, int w) {
  const __m128i eight = _mm_set1_epi16(8), seven = _mm_set1_epi16(7);
  for (; x + 8 < w; x += 8) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cs + x));
    __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cs + x - 1));
    __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cs + x + 1));
    __m128i a3 = _mm_add_epi16(_mm_add_epi16(a, a), a);
    __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a3, l), eight), 4);
    __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(a3, r), seven), 4);
    __m128i lo = _mm_unpacklo_epi16(even, odd), hi = _mm_unpackhi_epi16(even, odd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x), _mm_packus_epi16(lo, hi));
  }
  return x;
}
#endif

// One row sampled half as often across.
void UpsampleAcross(const uint8_t* in, uint8_t* out, int w, [[maybe_unused]] bool avx2) {
  if (w == 1) {
    out[0] = out[1] = in[0];
    return;
  }
  out[0] = in[0];
  out[1] = static_cast<uint8_t>((3 * in[0] + in[1] + 2) >> 2);
  int x = 1;
#if defined(STAGWERK_JPEG_AVX2)
  if (avx2) x = UpsampleAcrossAvx2(in, out, x, w);
#endif
#if defined(__SSE2__)
  x = UpsampleAcrossSse2(in, out, x, w);
#endif
  for (; x < w - 1; ++x) {
    int c3 = 3 * in[x];
    out[2 * x] = static_cast<uint8_t>((c3 + in[x - 1] + 1) >> 2);
    out[2 * x + 1] = static_cast<uint8_t>((c3 + in[x + 1] + 2) >> 2);
  }
  out[2 * w - 2] = static_cast<uint8_t>((3 * in[w - 1] + in[w - 2] + 1) >> 2);
  out[2 * w - 1] = in[w - 1];
}

// 2:1 both ways, first down: 3 x the nearer row + the farther (weights of 4).
void ColumnSums(const uint8_t* nearRow, const uint8_t* farRow, uint16_t* cs, int w, [[maybe_unused]] bool avx2) {
  int x = 0;
#if defined(STAGWERK_JPEG_AVX2)
  if (avx2) x = ColumnSumsAvx2(nearRow, farRow, cs, w);
#endif
#if defined(__SSE2__)
  x = ColumnSumsSse2(nearRow, farRow, cs, x, w);
#endif
  for (; x < w; ++x) cs[x] = static_cast<uint16_t>(3 * nearRow[x] + farRow[x]);
}

// Then across, on the column sums (weights of 16).
void UpsampleSumsAcross(const uint16_t* cs, uint8_t* out, int w, [[maybe_unused]] bool avx2) {
  if (w == 1) {
    out[0] = static_cast<uint8_t>((4 * cs[0] + 8) >> 4);
    out[1] = static_cast<uint8_t>((4 * cs[0] + 7) >> 4);
    return;
  }
  out[0] = static_cast<uint8_t>((4 * cs[0] + 8) >> 4);
  out[1] = static_cast<uint8_t>((3 * cs[0] + cs[1] + 7) >> 4);
  int x = 1;
#if defined(STAGWERK_JPEG_AVX2)
  if (avx2) x = UpsampleSumsAcrossAvx2(cs, out, x, w);
#endif
#if defined(__SSE2__)
  x = UpsampleSumsAcrossSse2(cs, out, x, w);
#endif
  for (; x < w - 1; ++x) {
    int c3 = 3 * cs[x];
    out[2 * x] = static_cast<uint8_t>((c3 + cs[x - 1] + 8) >> 4);
    out[2 * x + 1] = static_cast<uint8_t>((c3 + cs[x + 1] + 7) >> 4);
  }
  out[2 * w - 2] = static_cast<uint8_t>((3 * cs[w - 1] + cs[w - 2] + 8) >> 4);
  out[2 * w - 1] = static_cast<uint8_t>((4 * cs[w - 1] + 7) >> 4);
}

// 2:1 down only; the bias alternates by row so rounding does not drift one way.
void UpsampleDown(const uint8_t* nearRow, const uint8_t* farRow, uint8_t* out, int w, int bias) {
  for (int x = 0; x < w; ++x) out[x] = static_cast<uint8_t>((3 * nearRow[x] + farRow[x] + bias) >> 2);
}

}  // namespace

int OutputStage::Init(const JPEG_PROPERTIES& props, const JpegDecoderState& st, Frame& frame) {
  int n = static_cast<int>(frame.comps.size());
  bool raw = st.dibColor == COLOR_OTHER || st.dibColor == COLOR_YCBCR || !props.colorConversionRequired;
  if (raw) {
    src_ = kRaw;
  } else if (n == 1 || (n >= 3 && props.jpgColor == COLOR_GRAY)) {
    src_ = kGray;
  } else if (n >= 3 && props.jpgColor == COLOR_YCBCR) {
    src_ = kYcc;
  } else if (n >= 3 && props.jpgColor == COLOR_RGB) {
    src_ = kRgb;
  } else if (n >= 4 && props.jpgColor == COLOR_YCBCRA_FPX) {
    src_ = kYcca;
  } else if (n >= 4 && props.jpgColor == COLOR_RGBA_FPX) {
    src_ = kRgba;
  } else {
    return JPEG_ERR_COMP;  // the frame does not hold what jpgColor declares
  }
  int needCh = 1;
  switch (st.dibColor) {
    case COLOR_GRAY: dst_ = kDstGray, needCh = 1; break;
    case COLOR_RGB: dst_ = kDstRgb, needCh = 3; break;
    case COLOR_BGR: dst_ = kDstBgr, needCh = 3; break;
    case COLOR_RGBA_FPX: dst_ = kDstRgba, needCh = 4; break;
    default: dst_ = kDstRaw, needCh = 1; break;
  }
  if (src_ == kRaw) dst_ = kDstRaw;
  if (st.dibChannels < needCh) return JPEG_ERR_BYTES_PER_PIXEL;
  used_ = src_ == kGray ? 1 : (src_ == kYcc || src_ == kRgb) ? 3 : (src_ == kRaw) ? std::min(n, st.dibChannels) : 4;

  yccRow_ = ChooseYccRow();
  avx2_ = UseAvx2();
  channels_ = st.dibChannels;
  stride_ = st.dibStride;
  int absH = st.dibHeight < 0 ? -st.dibHeight : st.dibHeight;
  first_ = st.dibHeight < 0 ? st.dibBytes + static_cast<ptrdiff_t>(absH - 1) * -stride_ : st.dibBytes;
  outW_ = std::min<int>(frame.width, static_cast<int>(st.dibWidth));
  outH_ = std::min(frame.height, absH);
  next_ = 0;

  rows_.assign(static_cast<size_t>(used_), nullptr);
  hmaps_.assign(static_cast<size_t>(used_), HMap{});
  size_t widest = 0;
  for (int i = 0; i < used_; ++i) {
    Component& c = frame.comps[static_cast<size_t>(i)];
    c.row.assign(static_cast<size_t>(std::max(outW_, c.compW * (frame.hmax / c.h + 1))) + 16, 0);
    widest = std::max(widest, static_cast<size_t>(c.compW));
    if (c.h != frame.hmax) {
      HMap& m = hmaps_[static_cast<size_t>(i)];
      m.x0.resize(static_cast<size_t>(outW_));
      m.x1.resize(static_cast<size_t>(outW_));
      m.w.resize(static_cast<size_t>(outW_));
      for (int x = 0; x < outW_; ++x) {
        int x0, w;
        Locate(x, c.h, frame.hmax, x0, w);
        m.x0[static_cast<size_t>(x)] = std::clamp(x0, 0, c.compW - 1);
        m.x1[static_cast<size_t>(x)] = std::clamp(x0 + 1, 0, c.compW - 1);
        m.w[static_cast<size_t>(x)] = w;
      }
    }
  }
  vtmp_.assign(widest + 16, 0);
  return JPEG_SUCCESS;
}

int OutputStage::NeededRow(const Component& c, const Frame& f, int y) const {
  if (c.v == f.vmax) return y;
  int y0, w;
  Locate(y, c.v, f.vmax, y0, w);
  return std::clamp(y0 + 1, 0, c.compH - 1);
}

const uint8_t* OutputStage::UpsampleRow(Component& c, const Frame& f, int y) {
  if (c.h == f.hmax && c.v == f.vmax) return c.Row(y);

  // Vertical: the two nearest rows and the weight of the second.
  int y0 = y, wy = 0;
  if (c.v != f.vmax) Locate(y, c.v, f.vmax, y0, wy);
  const uint8_t* r0 = c.Row(std::clamp(y0, 0, c.compH - 1));
  const uint8_t* r1 = c.Row(std::clamp(y0 + 1, 0, c.compH - 1));
  // At 2:1 down the nearer row weighs 3/4.
  const uint8_t* nearRow = wy >= 128 ? r1 : r0;
  const uint8_t* farRow = wy >= 128 ? r0 : r1;
  uint8_t* out = c.row.data();
  const int w = c.compW;

  if (f.hmax == 2 * c.h && f.vmax == c.v) {
    UpsampleAcross(r0, out, w, avx2_);
  } else if (f.hmax == 2 * c.h && f.vmax == 2 * c.v) {
    ColumnSums(nearRow, farRow, vtmp_.data(), w, avx2_);
    UpsampleSumsAcross(vtmp_.data(), out, w, avx2_);
  } else if (f.hmax == c.h && f.vmax == 2 * c.v) {
    UpsampleDown(nearRow, farRow, out, w, (y & 1) ? 2 : 1);
  } else {
    UpsampleBilinear(c, f, r0, r1, wy, out);
  }
  return out;
}

// General ratios: bilinear between centred sample positions.
void OutputStage::UpsampleBilinear(const Component& c, const Frame& f, const uint8_t* r0, const uint8_t* r1, int wy,
                                   uint8_t* out) {
  const int w = c.compW;
  uint16_t* vt = vtmp_.data();
  for (int x = 0; x < w; ++x) vt[x] = static_cast<uint16_t>(r0[x] * (256 - wy) + r1[x] * wy);
  if (c.h == f.hmax) {
    for (int x = 0; x < outW_; ++x) out[x] = static_cast<uint8_t>((vt[x] + 128) >> 8);
    return;
  }
  const HMap& m = hmaps_[static_cast<size_t>(&c - f.comps.data())];
  for (int x = 0; x < outW_; ++x) {
    uint32_t a = vt[m.x0[static_cast<size_t>(x)]];
    uint32_t b = vt[m.x1[static_cast<size_t>(x)]];
    uint32_t wx = static_cast<uint32_t>(m.w[static_cast<size_t>(x)]);
    out[x] = static_cast<uint8_t>((a * (256 - wx) + b * wx + 32768) >> 16);
  }
}

void OutputStage::WriteRow(const Frame& f, uint8_t* dst) {
  const int w = outW_;
  const int ch = channels_;
  const uint8_t* const* r = rows_.data();
  switch (src_) {
    case kRaw:
      for (int x = 0; x < w; ++x)
        for (int i = 0; i < used_; ++i) dst[x * ch + i] = r[i][x];
      return;
    case kGray:
      if (dst_ == kDstGray) {
        if (ch == 1) {
          std::memcpy(dst, r[0], static_cast<size_t>(w));
        } else {
          for (int x = 0; x < w; ++x) dst[x * ch] = r[0][x];
        }
      } else {
        for (int x = 0; x < w; ++x) {
          uint8_t v = r[0][x];
          dst[x * ch] = dst[x * ch + 1] = dst[x * ch + 2] = v;
          if (dst_ == kDstRgba) dst[x * ch + 3] = 255;
        }
      }
      return;
    case kYcc:
    case kYcca: {
      const uint8_t* a = src_ == kYcca ? r[3] : nullptr;
      switch (dst_) {
        case kDstGray:
          for (int x = 0; x < w; ++x) dst[x * ch] = r[0][x];
          return;
        case kDstRgb: yccRow_(kOrderRgb, r[0], r[1], r[2], a, dst, w, ch); return;
        case kDstBgr: yccRow_(kOrderBgr, r[0], r[1], r[2], a, dst, w, ch); return;
        default: yccRow_(kOrderRgba, r[0], r[1], r[2], a, dst, w, ch); return;
      }
    }
    case kRgb:
    case kRgba: {
      const uint8_t* a = src_ == kRgba ? r[3] : nullptr;
      switch (dst_) {
        case kDstGray:
          for (int x = 0; x < w; ++x) dst[x * ch] = static_cast<uint8_t>((77 * r[0][x] + 150 * r[1][x] + 29 * r[2][x] + 128) >> 8);
          return;
        case kDstRgb: RgbRow<1>(r[0], r[1], r[2], a, dst, w, ch); return;
        case kDstBgr: RgbRow<2>(r[0], r[1], r[2], a, dst, w, ch); return;
        default: RgbRow<3>(r[0], r[1], r[2], a, dst, w, ch); return;
      }
    }
  }
  (void)f;
}

void OutputStage::Emit(Frame& frame, const std::vector<int>& avail) {
  while (next_ < outH_) {
    int y = next_;
    for (int i = 0; i < used_; ++i) {
      const Component& c = frame.comps[static_cast<size_t>(i)];
      if (NeededRow(c, frame, y) >= avail[static_cast<size_t>(i)]) return;
    }
    for (int i = 0; i < used_; ++i) rows_[static_cast<size_t>(i)] = UpsampleRow(frame.comps[static_cast<size_t>(i)], frame, y);
    WriteRow(frame, first_ + static_cast<ptrdiff_t>(y) * stride_);
    ++next_;
  }
}

}  // namespace jpeg
