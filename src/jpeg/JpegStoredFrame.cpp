// A stored frame: the coefficients its scans accumulate, and at the end of
// the image their transform and the writing of the picture.

#include "jpeg/JpegStreamReader.h"

#include <climits>
#include <new>
#include <vector>

namespace jpeg {

int StreamReader::AllocateCoefficients() {
  try {
    for (Component& c : w_.frame.comps) {
      const size_t blocks = static_cast<size_t>(c.blocksW) * static_cast<size_t>(c.blocksH);
      c.coef.assign(blocks * 64, 0);
      c.nonzero.assign(w_.frame.progressive ? blocks : 0, 0);
    }
  } catch (const std::bad_alloc&) {
    return JPEG_ERR_MEMORY;
  }
  coefReady_ = true;
  return JPEG_SUCCESS;
}

// Transforms the accumulated coefficients and writes the picture.
int StreamReader::Finish() {
  Frame& f = w_.frame;
  if (!coefReady_) return JPEG_ERR_NO_IMAGE;
  for (Component& c : f.comps) {
    if (!w_.quant[c.tq].defined) return JPEG_ERR_NO_QUANT;
    PrepareQuant(w_.quant[c.tq], c.qf);
  }
  int rc = StartOutput();
  if (rc != JPEG_SUCCESS) return rc;
  const IdctFunction idct = ChooseIdct();
  std::vector<int> avail(f.comps.size(), 0);
  for (int my = 0; my < f.mcusY; ++my) {
    for (size_t i = 0; i < f.comps.size(); ++i) {
      Component& c = f.comps[i];
      const ptrdiff_t stride = static_cast<ptrdiff_t>(c.blocksW) * 8;
      for (int by = my * c.v; by < (my + 1) * c.v; ++by) {
        uint8_t* row = c.Row(by * 8);
        for (int bx = 0; bx < c.blocksW; ++bx) {
          const size_t b = static_cast<size_t>(by) * static_cast<size_t>(c.blocksW) + static_cast<size_t>(bx);
          const int16_t* blk = c.coef.data() + b * 64;
          bool dcOnly = true;
          if (!c.nonzero.empty()) {
            dcOnly = c.nonzero[b] == 0;
          } else {
            for (int k = 1; k < 64 && dcOnly; ++k) dcOnly = blk[k] == 0;
          }
          idct(blk, c.qf, row + bx * 8, stride, dcOnly);
        }
      }
      avail[i] = my + 1 == f.mcusY ? INT_MAX : (my + 1) * 8 * c.v;
    }
    out_.Emit(f, avail);
  }
  return JPEG_SUCCESS;
}

}  // namespace jpeg
