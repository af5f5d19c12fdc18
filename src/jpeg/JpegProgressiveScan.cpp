// The progressive passes (T.81 Annex G): DC first and refinement scans, and
// AC first and refinement scans of one band of one component. Their values
// go to the stored coefficients; AC scans also keep each block's mask of
// nonzero coefficients, which refinement scans and the transform read.

#include "jpeg/JpegMcuWalk.h"
#include "jpeg/JpegSequentialBlock.h"

namespace jpeg {

namespace {

// Zig-zag positions from..to-1 as bits (from <= to <= 64).
inline uint64_t Positions(int from, int to) {
  uint64_t below = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
  return below & (~uint64_t{0} << from);
}

// Adds a correction bit to each coefficient at positions from..to-1 that is
// already nonzero (by its mask nz); p1 is the bit's value.
inline void RefineNonzero(BitReader& br, int16_t* blk, uint64_t nz, int from, int to, int p1) {
  for (uint64_t m = nz & Positions(from, to); m != 0; m &= m - 1) {
    int16_t& coef = blk[kZigzagToNatural[__builtin_ctzll(m)]];
    if (br.Get(1) && (coef & p1) == 0) coef = static_cast<int16_t>(coef + (coef >= 0 ? p1 : -p1));
  }
}

}  // namespace

int StreamReader::DcFirstScan(BitReader& br) {
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        int sym = DecodeHuff(br, w_.dc[c.dcTable]);
        if (sym < 0 || sym > 15) return false;
        int diff = sym ? Extend(br.Get(sym), sym) : 0;
        c.pred = Wrap16(c.pred + diff);
        CoefBlock(c, bx, by)[0] = static_cast<int16_t>(c.pred * (1 << al_));
        return true;
      },
      NoRow{});
}

int StreamReader::DcRefineScan(BitReader& br) {
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        if (br.Get(1)) CoefBlock(c, bx, by)[0] |= static_cast<int16_t>(1 << al_);
        return true;
      },
      NoRow{});
}

int StreamReader::AcFirstScan(BitReader& br) {
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        if (eobrun_ > 0) {
          --eobrun_;
          return true;
        }
        int16_t* blk = CoefBlock(c, bx, by);
        const HuffTable& ac = w_.ac[c.acTable];
        for (int k = ss_; k <= se_; ++k) {
          int rs = DecodeHuff(br, ac);
          if (rs < 0) return false;
          int r = rs >> 4;
          int sz = rs & 15;
          if (sz == 0) {
            if (r < 15) {
              eobrun_ = (1 << r) - 1;
              if (r) eobrun_ += static_cast<int>(br.Get(r));
              break;
            }
            k += 15;
            continue;
          }
          k += r;
          if (k > 63) return false;
          int16_t& coef = blk[kZigzagToNatural[k]];
          coef = static_cast<int16_t>(Extend(br.Get(sz), sz) * (1 << al_));
          // Corrupt sizes can wrap to zero, which must stay counted as zero.
          if (coef != 0) NonzeroOf(c, bx, by) |= uint64_t{1} << k;
        }
        return true;
      },
      NoRow{});
}

int StreamReader::AcRefineScan(BitReader& br) {
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        int16_t* blk = CoefBlock(c, bx, by);
        const HuffTable& ac = w_.ac[c.acTable];
        const int p1 = 1 << al_;
        // Which coefficients are already nonzero, by zig-zag position: the
        // refinement bits go to those, and runs count the others.
        uint64_t& nz = NonzeroOf(c, bx, by);
        int k = ss_;
        if (eobrun_ == 0) {
          for (; k <= se_; ++k) {
            int rs = DecodeHuff(br, ac);
            if (rs < 0) return false;
            int r = rs >> 4;
            int sz = rs & 15;
            int value = 0;
            if (sz != 0) {
              if (sz != 1) return false;
              value = br.Get(1) ? p1 : -p1;
            } else if (r != 15) {
              eobrun_ = 1 << r;
              if (r) eobrun_ += static_cast<int>(br.Get(r));
              break;
            }
            // Skip r zero coefficients, refining the nonzero ones passed:
            // the run ends on the zero after them.
            uint64_t zeros = ~nz & Positions(k, se_ + 1);
            for (; r > 0 && zeros != 0; --r) zeros &= zeros - 1;
            int stop = zeros != 0 ? __builtin_ctzll(zeros) : se_ + 1;
            RefineNonzero(br, blk, nz, k, stop, p1);
            k = stop;
            if (value != 0 && k <= se_) {
              blk[kZigzagToNatural[k]] = static_cast<int16_t>(value);
              nz |= uint64_t{1} << k;
            }
          }
        }
        if (eobrun_ > 0) {
          if (k <= se_) RefineNonzero(br, blk, nz, k, se_ + 1, p1);
          --eobrun_;
        }
        return true;
      },
      NoRow{});
}

}  // namespace jpeg
