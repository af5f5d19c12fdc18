// The sequential passes: the one scan of a sequential frame, transformed and
// written as it comes, and the scans of a sequential frame coded in several,
// whose coefficients are stored until the end.

#include "jpeg/JpegMcuWalk.h"
#include "jpeg/JpegSequentialBlock.h"

#include <climits>
#include <cstring>
#include <vector>

namespace jpeg {

int StreamReader::StreamSequentialScan(BitReader& br) {
  Frame& f = w_.frame;
  int rc = StartOutput();
  if (rc != JPEG_SUCCESS) return rc;
  for (Component& c : f.comps) PrepareQuant(w_.quant[c.tq], c.qf);
  const IdctFunction idct = ChooseIdct();
  std::vector<int> avail(f.comps.size(), 0);
  alignas(16) int16_t blk[64] = {};
  // The ring row of each component's current block row: finding it costs a
  // division, too much to pay for every block.
  int rowOf[4] = {-1, -1, -1, -1};
  uint8_t* rowStart[4] = {};
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        int kind = DecodeBlockSeq(br, w_.dc[c.dcTable], w_.ac[c.acTable], c.pred, blk);
        if (kind < 0) return false;
        const size_t ci = static_cast<size_t>(&c - f.comps.data());
        if (rowOf[ci] != by) rowOf[ci] = by, rowStart[ci] = c.Row(by * 8);
        const ptrdiff_t stride = static_cast<ptrdiff_t>(c.blocksW) * 8;
        idct(blk, c.qf, rowStart[ci] + bx * 8, stride, kind == 0);
        ClearBlock(blk, kind == 0);
        return true;
      },
      [&](int row, bool last) {
        for (size_t i = 0; i < avail.size(); ++i) {
          int rows = ns_ == 1 ? (row + 1) * 8 : (row + 1) * 8 * f.comps[i].v;
          avail[i] = last ? INT_MAX : rows;
        }
        out_.Emit(f, avail);
      });
}

int StreamReader::StoreSequentialScan(BitReader& br) {
  return ForEachBlock(
      br,
      [&](Component& c, int bx, int by) {
        int16_t* blk = CoefBlock(c, bx, by);
        std::memset(blk, 0, 64 * sizeof(int16_t));
        return DecodeBlockSeq(br, w_.dc[c.dcTable], w_.ac[c.acTable], c.pred, blk) >= 0;
      },
      NoRow{});
}

}  // namespace jpeg
