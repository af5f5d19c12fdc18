// What a scan may cost: data too short for the blocks it must code, and
// frames or runs of scans whose stored coefficients would cost far more
// memory or time than their size can justify, are refused before the work.

#include "jpeg/JpegStreamReader.h"

namespace jpeg {

namespace {

// Refuse frames whose stored coefficients (progressive or multi-scan) would need more.
constexpr size_t kMaxWorkBytes = size_t(1) << 30;
// Scans of a stored frame may together touch each coefficient this many
// times. A valid file touches one at most 14 times (its first scan and one
// refinement per further bit); beyond that, scans only repeat themselves,
// and a short file of many scans would otherwise cost time far beyond its
// size.
constexpr uint64_t kMaxCoefficientPasses = 16;

}  // namespace

ScanSize StreamReader::MeasureScan() const {
  const Frame& f = w_.frame;
  ScanSize size;
  size.bitsLeft = 8 * static_cast<uint64_t>(size_ - pos_);
  if (ns_ == 1) {
    size.scanBlocks = static_cast<uint64_t>(sc_[0]->realBlocksW) * static_cast<uint64_t>(sc_[0]->realBlocksH);
  } else {
    for (int i = 0; i < ns_; ++i) size.scanBlocks += static_cast<uint64_t>(sc_[i]->h * sc_[i]->v);
    size.scanBlocks *= static_cast<uint64_t>(f.mcusX) * static_cast<uint64_t>(f.mcusY);
  }
  for (const Component& c : f.comps) {
    size.frameBlocks += static_cast<uint64_t>(c.blocksW) * static_cast<uint64_t>(c.blocksH);
    size.codedBlocks += static_cast<uint64_t>(c.realBlocksW) * static_cast<uint64_t>(c.realBlocksH);
  }
  return size;
}

// Every block of a scan that codes DC values costs at least one bit, so
// data too short for that cannot be a whole scan: refused before any
// memory is set aside for it.
int StreamReader::CheckScanSize(const ScanSize& size, bool streaming) const {
  if (!streaming && !coefReady_ && size.frameBlocks * 64 * 2 > kMaxWorkBytes) return JPEG_ERR_MEMORY;
  if (ss_ == 0 && size.scanBlocks > size.bitsLeft) return JPEG_ERR_EOF;
  return JPEG_SUCCESS;
}

// The first stored scan sets the coefficients aside; every one counts
// towards the passes over them.
int StreamReader::PrepareStoredScan(const ScanSize& size) {
  if (!coefReady_) {
    // Every component's DC values are still to come, a bit a block at least.
    if (size.codedBlocks > size.bitsLeft) return JPEG_ERR_EOF;
    if (int rc = AllocateCoefficients(); rc != JPEG_SUCCESS) return rc;
  }
  coefficientsTouched_ += size.scanBlocks * static_cast<uint64_t>(se_ - ss_ + 1);
  if (coefficientsTouched_ > kMaxCoefficientPasses * 64 * size.frameBlocks) return JPEG_ERR_DATA;
  return JPEG_SUCCESS;
}

}  // namespace jpeg
