// Huffman decoding tables (T.81 Annex C and F.2.2.3) with a lookahead table.

#include "jpeg/JpegInternal.h"

#include <climits>
#include <cstring>

namespace jpeg {

bool BuildHuffTable(HuffTable& t, const uint8_t counts[16], const uint8_t* symbols, int total, bool ac) {
  if (total > 256) return false;
  std::memset(t.lookup, 0, sizeof t.lookup);
  std::memset(t.fast, 0, sizeof t.fast);
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
    int run = ac ? rs >> 4 : 0;
    int s = ac ? rs & 15 : rs;
    if (ac && rs == 0) {
      t.fast[idx] = (kEobRun << 8) + len;
      continue;
    }
    // Zero-run codes and sizes no DC difference has take the slow path.
    if ((ac && s == 0) || s > 15 || len + s > kLookupBits) continue;
    int value = 0;
    if (s > 0) value = Extend((static_cast<uint32_t>(idx) >> (kLookupBits - len - s)) & ((1u << s) - 1), s);
    t.fast[idx] = value * 65536 + (run << 8) + (len + s);
  }
  t.defined = true;
  return true;
}

}  // namespace jpeg
