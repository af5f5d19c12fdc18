// The sample planes the transform writes and the output stage reads, and
// the start of the output that needs them.

#include "jpeg/JpegStreamReader.h"

#include <algorithm>
#include <new>

namespace jpeg {

int StreamReader::AllocatePlanes() {
  try {
    for (Component& c : w_.frame.comps) {
      c.ringRows = std::min(3 * 8 * c.v, c.blocksH * 8);
      size_t n = static_cast<size_t>(c.blocksW) * 8 * static_cast<size_t>(c.ringRows);
      if (c.planeSize != n) {
        c.plane.reset();
        // Zeroed: a few rows per component, made once per size (and the
        // browser build's libc++ has no _for_overwrite).
        c.plane = std::make_unique<uint8_t[]>(n);
        c.planeSize = n;
      }
    }
  } catch (const std::bad_alloc&) {
    return JPEG_ERR_MEMORY;
  }
  return JPEG_SUCCESS;
}

int StreamReader::StartOutput() {
  if (outputReady_) return JPEG_SUCCESS;
  if (st_.dibSubsampling != 0) return JPEG_ERR_NOT_SUPPORTED;
  int rc = AllocatePlanes();
  if (rc != JPEG_SUCCESS) return rc;
  rc = out_.Init(props_, st_, w_.frame);
  if (rc != JPEG_SUCCESS) return rc;
  outputReady_ = true;
  return JPEG_SUCCESS;
}

}  // namespace jpeg
