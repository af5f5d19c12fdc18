// One scan from its header to its last block: the header, the limits, then
// the pass that decodes it. The one scan of a sequential frame is
// transformed and written as it comes; every other scan is stored.

#include "jpeg/JpegStreamReader.h"

namespace jpeg {

int StreamReader::Scan(const uint8_t* s, size_t n) {
  int rc = ReadScanHeader(s, n);
  if (rc != JPEG_SUCCESS) return rc;
  const Frame& f = w_.frame;
  const ScanSize size = MeasureScan();
  const bool streaming = !f.progressive && ns_ == static_cast<int>(f.comps.size()) && !coefReady_;
  rc = CheckScanSize(size, streaming);
  if (rc != JPEG_SUCCESS) return rc;

  BitReader br;
  br.Reset(data_ + pos_, data_ + size_);
  anyScan_ = true;
  if (streaming) {
    rc = StreamSequentialScan(br);
    return rc != JPEG_SUCCESS ? rc : kStop;
  }
  rc = PrepareStoredScan(size);
  if (rc == JPEG_SUCCESS) rc = DecodeStoredScan(br);
  if (rc != JPEG_SUCCESS) return rc;
  pos_ = static_cast<size_t>(br.p - data_);
  return JPEG_SUCCESS;
}

int StreamReader::DecodeStoredScan(BitReader& br) {
  if (!w_.frame.progressive) return StoreSequentialScan(br);
  if (ss_ == 0) return ah_ == 0 ? DcFirstScan(br) : DcRefineScan(br);
  return ah_ == 0 ? AcFirstScan(br) : AcRefineScan(br);
}

}  // namespace jpeg
