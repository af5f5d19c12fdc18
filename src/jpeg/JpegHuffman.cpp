// Huffman decoding tables (T.81 Annex C and F.2.2.3) with a lookahead table.

#include "jpeg/JpegInternal.h"

#include <climits>
#include <cstring>

namespace jpeg {

const uint8_t kZigzagToNatural[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63,
    // Runs past the end of a corrupt block land on the last coefficient.
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

bool BuildHuffTable(HuffTable& t, const uint8_t counts[16], const uint8_t* symbols, int total) {
  if (total > 256) return false;
  std::memset(t.lookup, 0, sizeof t.lookup);
  std::memset(t.fastAc, 0, sizeof t.fastAc);
  std::memset(t.values, 0, sizeof t.values);
  std::memcpy(t.values, symbols, static_cast<size_t>(total));

  int32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    int n = counts[len - 1];
    t.valPtr[len] = k;
    t.minCode[len] = code;
    if (len <= kLookupBits) {
      for (int i = 0; i < n; ++i) {
        int32_t c = code + i;
        if (c >= (1 << len)) return false;
        int shift = kLookupBits - len;
        uint16_t entry = static_cast<uint16_t>((len << 8) | t.values[k + i]);
        for (int j = 0; j < (1 << shift); ++j) t.lookup[(c << shift) | j] = entry;
      }
    }
    code += n;
    k += n;
    // A prefix code cannot have more codes of a length than that length holds.
    if (code > (1 << len)) return false;
    t.maxCode[len] = n ? code - 1 : -1;
    code <<= 1;
  }
  t.maxCode[17] = INT32_MAX;

  for (int idx = 0; idx < (1 << kLookupBits); ++idx) {
    uint16_t e = t.lookup[idx];
    if (e == 0) continue;
    int len = e >> 8;
    int rs = e & 0xFF;
    int run = rs >> 4;
    int s = rs & 15;
    if (s == 0 || len + s > kLookupBits) continue;
    uint32_t extra = (static_cast<uint32_t>(idx) >> (kLookupBits - len - s)) & ((1u << s) - 1);
    int value = Extend(extra, s);
    t.fastAc[idx] = value * 65536 + (run << 8) + (len + s);
  }
  t.defined = true;
  return true;
}

}  // namespace jpeg
