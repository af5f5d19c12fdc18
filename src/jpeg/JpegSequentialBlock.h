#pragma once
// Decoding of one block of a sequential scan, the decoder's hottest loop.

#include "jpeg/JpegInternal.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

inline int16_t Wrap16(int v) { return static_cast<int16_t>(v); }

// Decodes one block into blk (zeroed by the caller): -1 on a bad code, 0
// when the block holds its DC alone, 1 otherwise. Most coefficients come
// whole from one lookup (code, run and extra bits together); the rest, and
// zero runs, take the symbol-by-symbol path.
inline int DecodeBlockSeq(BitReader& in, const HuffTable& dc, const HuffTable& ac, int& pred, int16_t* blk) {
  // A copy the compiler keeps in registers for the whole block.
  BitReader br;
  br.p = in.p;
  br.end = in.end;
  br.acc = in.acc;
  br.bits = in.bits;
  br.zeroBits = in.zeroBits;
  br.stopped = in.stopped;
  if (br.bits < 16) br.Refill();
  int diff;
  if (int32_t e = dc.fast[br.Peek(kLookupBits)]; e != 0) {
    br.Skip(e & 255);
    diff = e >> 16;
  } else {
    int s = DecodeHuff(br, dc);
    if (s < 0 || s > 15) return -1;
    diff = s ? Extend(br.Get(s), s) : 0;
  }
  pred = Wrap16(pred + diff);
  blk[0] = static_cast<int16_t>(pred);
  int k = 1;
  while (k < 64) {
    // Topped up only when low: an unconditional top-up would put the
    // refill on the path from one lookup to the next.
    if (br.bits < 16) br.Refill();
    int32_t fa = ac.fast[br.Peek(kLookupBits)];
    if (fa != 0) {
      // An end of block lands past the end, writing a zero on the way.
      k += (fa >> 8) & 255;
      br.Skip(fa & 255);
      blk[kZigzagToNatural[k]] = static_cast<int16_t>(fa >> 16);
      ++k;
      continue;
    }
    int rs = DecodeHuff(br, ac);
    if (rs < 0) return -1;
    int r = rs >> 4;
    int s = rs & 15;
    if (s == 0) {
      k += r == 15 ? 16 : kEobRun + 1;
      continue;
    }
    k += r;
    blk[kZigzagToNatural[k]] = static_cast<int16_t>(Extend(br.Get(s), s));
    ++k;
  }
  // Field by field: a whole-struct copy reads back, in one wide load, what
  // was just stored in narrow pieces, which stalls.
  in.p = br.p;
  in.acc = br.acc;
  in.bits = br.bits;
  in.zeroBits = br.zeroBits;
  in.stopped = br.stopped;
  // Only an end of block as the first AC symbol leaves k here.
  return k == 1 + kEobRun + 1 ? 0 : 1;
}

// Zeroes a 16-byte aligned block after use, ready for the next one; a block
// that held its DC alone has nothing else to clear.
inline void ClearBlock(int16_t* blk, bool dcOnly) {
  if (dcOnly) {
    blk[0] = 0;
    return;
  }
#if defined(__SSE2__)
  // Inline stores: a call to memset per block costs more than the clearing.
  for (int i = 0; i < 64; i += 8) _mm_store_si128(reinterpret_cast<__m128i*>(blk + i), _mm_setzero_si128());
#else
  std::memset(blk, 0, 64 * sizeof(int16_t));
#endif
}

}  // namespace jpeg
