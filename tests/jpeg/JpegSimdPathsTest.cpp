// The SIMD paths against their scalar twins: the inverse DCT on random
// blocks, colour conversion on random rows, and whole pictures of every
// layout decoded with AVX2 and without, which must give the same bytes.

#include "JpegTestSupport.h"

#include "jpeg/JpegColorPaths.h"
#include "jpeg/JpegIdctPaths.h"
#include "jpeg/JpegInternal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace jpegtest;

namespace {

// Every SIMD path this processor runs must give the scalar path's bytes.
std::vector<std::pair<const char*, jpeg::IdctFunction>> SimdIdcts() {
  std::vector<std::pair<const char*, jpeg::IdctFunction>> paths;
#if defined(__SSE2__)
  paths.emplace_back("SSE2", jpeg::InverseDctSimd);
#endif
#if defined(STAGWERK_JPEG_AVX2)
  if (jpeg::UseAvx2()) paths.emplace_back("AVX2", jpeg::InverseDctAvx2);
#endif
  return paths;
}

}  // namespace

TEST(JpegTransform, SimdPathsAgreeWithScalar) {
  const auto paths = SimdIdcts();
  if (paths.empty()) GTEST_SKIP() << "no SIMD path on this target";
  jpeg::QuantTable q;
  uint32_t seed = 7;
  for (int i = 0; i < 64; ++i) q.values[i] = static_cast<uint16_t>(1 + i % 17);
  float qf[64];
  jpeg::PrepareQuant(q, qf);
  auto compare = [&](const int16_t* coef, bool dcOnly, int trial) {
    uint8_t a[64];
    jpeg::InverseDctScalar(coef, qf, a, 8, dcOnly);
    for (const auto& [name, idct] : paths) {
      // Written into a wider buffer: nothing outside the 8x8 block may change.
      uint8_t b[10 * 16];
      std::memset(b, 0xA5, sizeof b);
      idct(coef, qf, b + 16 + 1, 16, dcOnly);
      for (int r = 0; r < 8; ++r) ASSERT_EQ(0, std::memcmp(a + 8 * r, b + 16 * (r + 1) + 1, 8)) << name << " trial " << trial;
      for (int i = 0; i < 10 * 16; ++i) {
        int r = i / 16 - 1, c = i % 16 - 1;
        if (r < 0 || r > 7 || c < 0 || c > 7) {
          ASSERT_EQ(b[i], 0xA5) << name << " wrote outside the block, trial " << trial;
        }
      }
    }
  };
  for (int trial = 0; trial < 2000; ++trial) {
    int16_t coef[64] = {};
    int n = trial % 64;
    for (int i = 0; i <= n; ++i) {
      seed = seed * 1664525u + 1013904223u;
      int range = trial % 3 == 0 ? 32767 : 300;
      coef[jpeg::kZigzagToNatural[i]] = static_cast<int16_t>(static_cast<int>(seed >> 8) % (2 * range + 1) - range);
    }
    compare(coef, n == 0, trial);
  }
  // Coefficients confined to part of the block, where paths may shorten
  // their passes; positions scattered, not a zig-zag prefix.
  const struct {
    int rows, cols;
  } regions[] = {{4, 4}, {8, 4}, {4, 8}, {8, 8}, {1, 8}, {8, 1}, {2, 2}};
  for (int trial = 0; trial < 1400; ++trial) {
    const auto region = regions[trial % 7];
    int16_t coef[64] = {};
    for (int i = 0; i < 64; ++i) {
      seed = seed * 1664525u + 1013904223u;
      if (i / 8 >= region.rows || i % 8 >= region.cols || (seed >> 28) < 8) continue;
      int range = trial % 5 == 0 ? 32767 : 200;
      coef[i] = static_cast<int16_t>(static_cast<int>(seed >> 8) % (2 * range + 1) - range);
    }
    bool dcOnly = true;
    for (int i = 1; i < 64; ++i) dcOnly = dcOnly && coef[i] == 0;
    compare(coef, dcOnly, trial);
  }
}

TEST(JpegColour, SimdPathsAgreeWithScalar) {
  std::vector<std::pair<const char*, jpeg::YccRowFunction>> paths;
#if defined(__SSE2__)
  paths.emplace_back("SSE2", jpeg::YccRowSse2);
#endif
#if defined(STAGWERK_JPEG_AVX2)
  if (jpeg::UseAvx2()) paths.emplace_back("AVX2", jpeg::YccRowAvx2);
#endif
  if (paths.empty()) GTEST_SKIP() << "no SIMD path on this target";
  uint32_t seed = 11;
  auto next = [&] { return static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24); };
  // Widths around the SIMD step sizes; samples random, with the extremes
  // that saturate every sum.
  for (int w : {1, 7, 8, 9, 15, 16, 17, 31, 33, 64, 67}) {
    std::vector<uint8_t> y(w), cb(w), cr(w), a(w);
    for (int i = 0; i < w; ++i) {
      const uint8_t extremes[] = {0, 255};
      y[i] = i % 5 == 0 ? extremes[i % 2] : next();
      cb[i] = i % 7 == 0 ? extremes[(i / 7) % 2] : next();
      cr[i] = i % 3 == 0 ? extremes[(i / 3) % 2] : next();
      a[i] = next();
    }
    for (int order : {jpeg::kOrderRgb, jpeg::kOrderBgr, jpeg::kOrderRgba}) {
      for (int ch : {3, 4, 5}) {
        if (order == jpeg::kOrderRgba && ch < 4) continue;
        for (const uint8_t* alpha : {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(a.data())}) {
          std::vector<uint8_t> want(static_cast<size_t>(w * ch) + 16, 0x5A);
          jpeg::YccRowScalar(order, y.data(), cb.data(), cr.data(), alpha, want.data(), w, ch);
          for (const auto& [name, row] : paths) {
            std::vector<uint8_t> got(want.size(), 0x5A);
            row(order, y.data(), cb.data(), cr.data(), alpha, got.data(), w, ch);
            ASSERT_EQ(want, got) << name << " width " << w << " order " << order << " channels " << ch;
          }
        }
      }
    }
  }
}

#if defined(STAGWERK_JPEG_AVX2)
namespace {

// Decodes into rows padded by one byte, rows in file order.
std::vector<uint8_t> DecodeAs(const std::vector<uint8_t>& jpg, int color, int channels) {
  JPEG_PROPERTIES p;
  EXPECT_EQ(jpegInit(&p), 0);
  p.jpgBytes = jpg.data();
  p.jpgSizeBytes = static_cast<uint32_t>(jpg.size());
  std::vector<uint8_t> px;
  if (jpegRead(&p, READ_PARAMS_BUFFER) == 0) {
    px.assign((p.jpgWidth * static_cast<size_t>(channels) + 1) * p.jpgHeight, 0x33);
    p.dibBytes = px.data();
    p.dibWidth = p.jpgWidth;
    p.dibHeight = static_cast<int32_t>(p.jpgHeight);
    p.dibPadBytes = 1;
    p.dibChannels = channels;
    p.dibColor = color;
    p.jpgColor = p.jpgChannels == 1 ? COLOR_GRAY : COLOR_YCBCR;
    EXPECT_EQ(jpegRead(&p, READ_IMAGE_BUFFER), 0);
  }
  jpegFree(&p);
  return px;
}

}  // namespace

TEST(JpegSimdPaths, WholePicturesDecodeAlikeWithAndWithoutAvx2) {
  if (!jpeg::UseAvx2()) GTEST_SKIP() << "this processor has no AVX2";
  ASSERT_TRUE(ToolAvailable("cjpeg")) << "cjpeg (libjpeg-turbo-progs) must be on PATH";
  TempDir dir;
  // Widths around the 16- and 32-sample steps and the 2:1 edges.
  const struct {
    int w, h;
    const char* options;
  } cases[] = {{97, 45, "-sample 2x2"}, {64, 32, "-sample 2x1"},  {33, 17, "-sample 1x1"},
               {130, 9, "-sample 2x2 -progressive"}, {31, 31, "-sample 2x1 -restart 1B"}, {250, 20, "-sample 1x2"},
               {47, 23, "-sample 4x1"}, {65, 66, "-grayscale"}};
  const struct {
    int color, channels;
  } outputs[] = {{COLOR_BGR, 3}, {COLOR_RGB, 3}, {COLOR_RGBA_FPX, 4}, {COLOR_GRAY, 1}};
  for (const auto& c : cases) {
    bool grey = std::string(c.options) == "-grayscale";
    std::vector<uint8_t> jpg = Encode(dir, MakePhoto(c.w, c.h, grey ? 1 : 3), c.options);
    ASSERT_FALSE(jpg.empty()) << c.options;
    for (const auto& o : outputs) {
      jpeg::gAvx2Allowed = true;
      std::vector<uint8_t> fast = DecodeAs(jpg, o.color, o.channels);
      jpeg::gAvx2Allowed = false;
      std::vector<uint8_t> plain = DecodeAs(jpg, o.color, o.channels);
      jpeg::gAvx2Allowed = true;
      ASSERT_FALSE(fast.empty());
      EXPECT_EQ(fast, plain) << c.w << "x" << c.h << " " << c.options << " colour " << o.color;
    }
  }
}
#endif
