#include "kq7/formats/pictures/GreyJpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace stagwerk::kq7 {

namespace {

constexpr std::array<int, 64> kZigzag{0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                      12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                      35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                      58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The usual luminance quantisation, in natural order, scaled by quality.
constexpr std::array<int, 64> kLuminance{16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                         14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                         18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                         49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// The usual luminance Huffman tables: code counts per length 1..16, then symbols.
constexpr std::array<uint8_t, 16> kDcBits{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 12> kDcSymbols{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<uint8_t, 16> kAcBits{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr std::array<uint8_t, 162> kAcSymbols{
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

struct Code {
  uint16_t bits = 0;
  uint8_t length = 0;
};

// Canonical codes: each length's codes follow the shorter ones, doubled.
template <std::size_t N>
std::array<Code, 256> CodesOf(const std::array<uint8_t, 16>& counts, const std::array<uint8_t, N>& symbols) {
  std::array<Code, 256> codes{};
  uint16_t code = 0;
  std::size_t k = 0;
  for (int length = 1; length <= 16; ++length, code = static_cast<uint16_t>(code << 1)) {
    for (int i = 0; i < counts[static_cast<std::size_t>(length - 1)]; ++i, ++code) {
      codes[symbols[k++]] = {code, static_cast<uint8_t>(length)};
    }
  }
  return codes;
}

class BitWriter {
 public:
  explicit BitWriter(std::string& out) : out_(out) {}
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>(byte_ << 1 | (bits >> i & 1));
      if (++count_ == 8) Flush();
    }
  }
  void Finish() {
    while (count_ != 0) Put(1, 1);  // padded with ones
  }

 private:
  void Flush() {
    out_ += static_cast<char>(byte_);
    if (byte_ == 0xFF) out_ += '\0';  // a data byte FF is followed by 00
    byte_ = 0;
    count_ = 0;
  }
  std::string& out_;
  uint8_t byte_ = 0;
  int count_ = 0;
};

int Category(int v) {
  int n = 0;
  for (int a = std::abs(v); a != 0; a >>= 1) ++n;
  return n;
}

void PutValue(BitWriter& w, const Code& code, int v, int category) {
  w.Put(code.bits, code.length);
  if (category > 0) w.Put(static_cast<uint32_t>(v < 0 ? v + (1 << category) - 1 : v), category);
}

void Marker(std::string& out, uint8_t marker, const std::string& body) {
  const std::size_t length = body.size() + 2;
  out += {'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
  out += body;
}

std::string Headers(int width, int height, const std::array<int, 64>& quant) {
  std::string out = "\xFF\xD8";
  std::string dqt(1, '\0');
  for (int k = 0; k < 64; ++k) dqt += static_cast<char>(quant[static_cast<std::size_t>(kZigzag[static_cast<std::size_t>(k)])]);
  Marker(out, 0xDB, dqt);
  Marker(out, 0xC0, {8, static_cast<char>(height >> 8), static_cast<char>(height & 0xFF), static_cast<char>(width >> 8),
                     static_cast<char>(width & 0xFF), 1, 1, 0x11, 0});
  std::string dht(1, '\x00');
  dht.append(kDcBits.begin(), kDcBits.end());
  dht.append(kDcSymbols.begin(), kDcSymbols.end());
  dht += '\x10';
  dht.append(kAcBits.begin(), kAcBits.end());
  dht.append(kAcSymbols.begin(), kAcSymbols.end());
  Marker(out, 0xC4, dht);
  Marker(out, 0xDA, {1, 1, 0, 0, 63, 0});
  return out;
}

// The 8 x 8 block at (bx, by), edges repeated past the picture, as DCT coefficients.
std::array<double, 64> Transform(const unsigned char* samples, int width, int height, int bx, int by) {
  static const auto cosines = [] {
    std::array<double, 64> c{};
    for (int x = 0; x < 8; ++x)
      for (int u = 0; u < 8; ++u) c[static_cast<std::size_t>(x * 8 + u)] = std::cos((2 * x + 1) * u * M_PI / 16);
    return c;
  }();
  std::array<double, 64> block{}, rows{}, out{};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int sx = std::min(bx + x, width - 1), sy = std::min(by + y, height - 1);
      block[static_cast<std::size_t>(y * 8 + x)] = samples[static_cast<std::size_t>(sy) * width + sx] - 128.0;
    }
  }
  for (int y = 0; y < 8; ++y)
    for (int u = 0; u < 8; ++u) {
      double s = 0;
      for (int x = 0; x < 8; ++x) s += block[static_cast<std::size_t>(y * 8 + x)] * cosines[static_cast<std::size_t>(x * 8 + u)];
      rows[static_cast<std::size_t>(y * 8 + u)] = s * (u == 0 ? M_SQRT1_2 : 1.0) / 2;
    }
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      double s = 0;
      for (int y = 0; y < 8; ++y) s += rows[static_cast<std::size_t>(y * 8 + u)] * cosines[static_cast<std::size_t>(y * 8 + v)];
      out[static_cast<std::size_t>(v * 8 + u)] = s * (v == 0 ? M_SQRT1_2 : 1.0) / 2;
    }
  return out;
}

}  // namespace

std::string EncodeGreyJpeg(const unsigned char* samples, int width, int height, int quality) {
  quality = std::clamp(quality, 1, 100);
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  std::array<int, 64> quant{};
  for (std::size_t i = 0; i < 64; ++i) quant[i] = std::clamp((kLuminance[i] * scale + 50) / 100, 1, 255);
  static const std::array<Code, 256> dc = CodesOf(kDcBits, kDcSymbols), ac = CodesOf(kAcBits, kAcSymbols);
  std::string out = Headers(width, height, quant);
  BitWriter w(out);
  int previousDc = 0;
  for (int by = 0; by < height; by += 8) {
    for (int bx = 0; bx < width; bx += 8) {
      const std::array<double, 64> f = Transform(samples, width, height, bx, by);
      std::array<int, 64> q{};
      for (std::size_t k = 0; k < 64; ++k) {
        const std::size_t n = static_cast<std::size_t>(kZigzag[k]);
        q[k] = static_cast<int>(std::lround(f[n] / quant[n]));
      }
      const int diff = q[0] - previousDc;
      previousDc = q[0];
      PutValue(w, dc[static_cast<std::size_t>(Category(diff))], diff, Category(diff));
      int run = 0;
      for (std::size_t k = 1; k < 64; ++k) {
        if (q[k] == 0) {
          ++run;
          continue;
        }
        for (; run > 15; run -= 16) PutValue(w, ac[0xF0], 0, 0);
        const int category = Category(q[k]);
        PutValue(w, ac[static_cast<std::size_t>(run << 4 | category)], q[k], category);
        run = 0;
      }
      if (run > 0) PutValue(w, ac[0x00], 0, 0);
    }
  }
  w.Finish();
  out += "\xFF\xD9";
  return out;
}

}  // namespace stagwerk::kq7
