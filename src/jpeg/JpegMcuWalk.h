#pragma once
// The walk over a scan's blocks that every pass shares: MCU order, restart
// intervals, and noticing data that ends early. Each pass instantiates it
// with its own block decoder, which the compiler inlines into the walk.

#include "jpeg/JpegStreamReader.h"

namespace jpeg {

// For passes with nothing to do at the end of a row.
struct NoRow {
  void operator()(int, bool) const {}
};

// block(comp, bx, by) decodes one block; rowDone(r, last) follows every MCU
// row (block row for a one-component scan).
template <class Block, class RowDone>
int StreamReader::ForEachBlock(BitReader& br, Block&& block, RowDone&& rowDone) {
  const Frame& f = w_.frame;
  const int interval = w_.restartInterval;
  int todo = interval;
  int nextRst = 0;
  // Counts MCUs down to the next restart marker and reads it when due.
  auto countdown = [&]() -> int {
    if (interval == 0) return JPEG_SUCCESS;
    if (todo == 0) {
      if (int rc = Restart(br, nextRst); rc != JPEG_SUCCESS) return rc;
      todo = interval;
    }
    --todo;
    return JPEG_SUCCESS;
  };
  if (ns_ == 1) {
    Component& c = *sc_[0];
    for (int by = 0; by < c.realBlocksH; ++by) {
      for (int bx = 0; bx < c.realBlocksW; ++bx) {
        if (int rc = countdown(); rc != JPEG_SUCCESS) return rc;
        if (!block(c, bx, by)) return JPEG_ERR_DATA;
        if (br.Overrun()) return OverrunCode(br);
      }
      rowDone(by, by + 1 == c.realBlocksH);
    }
    return JPEG_SUCCESS;
  }
  for (int my = 0; my < f.mcusY; ++my) {
    for (int mx = 0; mx < f.mcusX; ++mx) {
      if (int rc = countdown(); rc != JPEG_SUCCESS) return rc;
      for (int i = 0; i < ns_; ++i) {
        Component& c = *sc_[i];
        for (int v = 0; v < c.v; ++v)
          for (int h = 0; h < c.h; ++h)
            if (!block(c, mx * c.h + h, my * c.v + v)) return JPEG_ERR_DATA;
      }
      if (br.Overrun()) return OverrunCode(br);
    }
    rowDone(my, my + 1 == f.mcusY);
  }
  return JPEG_SUCCESS;
}

}  // namespace jpeg
