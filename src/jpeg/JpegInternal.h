#pragma once
// Private pieces of the JPEG decoder: tables, frame, bit reader, transforms.

#include "jpeg/JpegDecoder.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace jpeg {

constexpr int kLookupBits = 10;

// The run a fast end-of-block entry adds: it carries the position past the
// block's end in one step, like any other run.
constexpr int kEobRun = 80;

// Zig-zag position -> natural (row-major) position. Entries past 63 absorb
// the end-of-block run and run lengths of corrupt data without leaving the
// block: they land on coefficient 63, which is still zero whenever they are
// used for an end of block.
struct ZigzagTable {
  uint8_t natural[64 + kEobRun];
  constexpr ZigzagTable() : natural{} {
    constexpr uint8_t order[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    for (int i = 0; i < 64 + kEobRun; ++i) natural[i] = i < 64 ? order[i] : 63;
  }
};
inline constexpr ZigzagTable kZigzag{};
inline constexpr const uint8_t (&kZigzagToNatural)[64 + kEobRun] = kZigzag.natural;

struct HuffTable {
  bool defined = false;
  // (length << 8) | symbol for codes up to kLookupBits long, 0 otherwise.
  uint16_t lookup[1 << kLookupBits];
  // Whole coefficients for sequential scans: value << 16 | run << 8 | total
  // bits, for a code and its extra bits that together fit in the lookahead
  // (DC tables: run 0; an AC end of block: run kEobRun, value 0); 0 when
  // they do not fit.
  int32_t fast[1 << kLookupBits];
  int32_t maxCode[18];  // largest code of each length, -1 if none
  int32_t valPtr[17];   // index of the first symbol of each length
  int32_t minCode[17];
  uint8_t values[256];
};

// Builds the decoding tables from the 16 counts and the symbols of a DC or an
// AC table; false when the counts describe no valid prefix code.
bool BuildHuffTable(HuffTable& table, const uint8_t counts[16], const uint8_t* symbols, int total, bool ac);

struct QuantTable {
  bool defined = false;
  uint16_t values[64];  // natural order
};

struct Component {
  int id = 0;
  int h = 1, v = 1;
  int tq = 0;
  int compW = 0, compH = 0;              // samples actually in the image
  int blocksW = 0, blocksH = 0;          // padded to whole MCUs
  int realBlocksW = 0, realBlocksH = 0;  // blocks a one-component scan covers
  // Per scan.
  int dcTable = 0, acTable = 0;
  int pred = 0;
  // Storage.
  std::vector<int16_t> coef;   // blocksW * blocksH * 64, natural order
  // Progressive frames: per block, bit k set when zig-zag coefficient k is
  // nonzero, so refinement scans find them without looking at every one.
  std::vector<uint64_t> nonzero;
  // Samples: blocksW * 8 wide, a ring of ringRows rows (three MCU rows:
  // the one being decoded and the neighbours upsampling looks at). Not
  // cleared, as every sample the output reads is written by the transform.
  std::unique_ptr<uint8_t[]> plane;
  size_t planeSize = 0;
  int ringRows = 0;
  uint8_t* Row(int y) const { return plane.get() + static_cast<ptrdiff_t>(y % ringRows) * blocksW * 8; }
  std::vector<uint8_t> row;    // one upsampled output row
  float qf[64];                // dequantisation folded into the transform
};

struct Frame {
  bool valid = false;
  int marker = 0;
  bool progressive = false;
  int width = 0, height = 0;
  int hmax = 1, vmax = 1;
  int mcusX = 0, mcusY = 0;
  std::vector<Component> comps;
};

// Entropy-coded data reader. Bytes come in MSB-first; stuffed zero bytes are
// dropped; at a marker or at the end of data zeros are fed in, and zeroBits
// counts them so that reading into them is noticed.
struct BitReader {
  const uint8_t* p = nullptr;
  const uint8_t* end = nullptr;
  uint64_t acc = 0;
  int bits = 0;
  int zeroBits = 0;
  bool stopped = false;  // reached a marker or the end of data

  void Reset(const uint8_t* from, const uint8_t* to) {
    p = from;
    end = to;
    acc = 0;
    bits = 0;
    zeroBits = 0;
    stopped = false;
  }
  // Tops the buffer up to 56-63 bits. Fast case: the next eight bytes hold
  // no 0xFF, so no stuffing or marker can be among them, and as many whole
  // bytes as fit go in at once; a byte only partly taken is taken again, to
  // the same place, next time.
  void Refill() {
    if (!stopped && end - p >= 8) {
      uint64_t v;
      std::memcpy(&v, p, 8);
      v = __builtin_bswap64(v);
      uint64_t inv = ~v;
      if (((inv - 0x0101010101010101ull) & ~inv & 0x8080808080808080ull) == 0) {
        acc |= v >> bits;
        p += (63 - bits) >> 3;
        bits |= 56;
        return;
      }
    }
    RefillBytes();
  }
  void RefillBytes() {
    while (bits < 56) {
      if (!stopped) {
        if (p < end) {
          uint8_t b = *p;
          if (b != 0xFF) {
            ++p;
            acc |= static_cast<uint64_t>(b) << (56 - bits);
            bits += 8;
            continue;
          }
          if (p + 1 < end && p[1] == 0x00) {
            p += 2;
            acc |= static_cast<uint64_t>(0xFF) << (56 - bits);
            bits += 8;
            continue;
          }
        }
        stopped = true;
      }
      bits += 8;
      zeroBits += 8;
    }
  }
  uint32_t Peek(int n) const { return static_cast<uint32_t>(acc >> (64 - n)); }
  void Skip(int n) {
    acc <<= n;
    bits -= n;
  }
  // n in 1..16
  uint32_t Get(int n) {
    if (bits < n) Refill();
    uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  bool Overrun() const { return bits < zeroBits; }
  // Drops what is left of the current byte-aligned segment before a marker.
  void Discard() {
    acc = 0;
    bits = 0;
    zeroBits = 0;
    stopped = false;
  }
};

inline int Extend(uint32_t v, int s) {
  return v < (1u << (s - 1)) ? static_cast<int>(v) - (1 << s) + 1 : static_cast<int>(v);
}

// Symbol or -1 on an invalid code.
inline int DecodeHuff(BitReader& br, const HuffTable& t) {
  if (br.bits < 16) br.Refill();
  uint32_t e = t.lookup[br.Peek(kLookupBits)];
  if (e != 0) {
    br.Skip(static_cast<int>(e >> 8));
    return static_cast<int>(e & 0xFF);
  }
  int32_t code = static_cast<int32_t>(br.Peek(16));
  for (int len = kLookupBits + 1; len <= 16; ++len) {
    int32_t c = code >> (16 - len);
    if (c <= t.maxCode[len]) {
      br.Skip(len);
      int idx = t.valPtr[len] + c - t.minCode[len];
      return (idx >= 0 && idx < 256) ? t.values[idx] : -1;
    }
  }
  return -1;
}

// Folds a quantisation table into the scale factors of the transform.
void PrepareQuant(const QuantTable& q, float qf[64]);

// Inverse DCT of one block of quantised coefficients (natural order) into
// 8x8 samples. dcOnly promises that coefficients 1..63 are zero.
using IdctFunction = void (*)(const int16_t* coef, const float* qf, uint8_t* out, ptrdiff_t stride, bool dcOnly);
// The fastest path this processor runs.
IdctFunction ChooseIdct();

}  // namespace jpeg

// The private work area behind JpegDecoderState::work.
struct JpegWork {
  jpeg::HuffTable dc[4];
  jpeg::HuffTable ac[4];
  jpeg::QuantTable quant[4];
  jpeg::Frame frame;
  int restartInterval = 0;
  std::vector<uint8_t> fileData;  // the whole file for file I/O types
};
