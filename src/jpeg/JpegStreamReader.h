#pragma once
// The reader behind ReadStream: the state of one jpegRead over a stream, and
// its steps, each defined in the file of its stage (markers, segments, frame
// header, scan header and limits, the scans, the stored frame).

#include "jpeg/JpegInternal.h"
#include "jpeg/JpegOutput.h"

#include <cstddef>
#include <cstdint>

namespace jpeg {

constexpr int kStop = 1;  // internal: end the read with success

inline bool IsParamsType(int io) { return io == 0 || io == 1 || io == 4 || io == 5 || io == 20 || io == 21; }
inline int Be16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

// Block counts a scan's limits are checked against.
struct ScanSize {
  uint64_t bitsLeft = 0;     // in the data from the scan on
  uint64_t scanBlocks = 0;   // the scan visits
  uint64_t frameBlocks = 0;  // stored, padded to whole MCUs
  uint64_t codedBlocks = 0;  // coded in a one-component scan of each component
};

// A stored block's coefficients, and (progressive frames) its nonzero mask.
inline int16_t* CoefBlock(Component& c, int bx, int by) {
  return c.coef.data() + (static_cast<size_t>(by) * static_cast<size_t>(c.blocksW) + static_cast<size_t>(bx)) * 64;
}
inline uint64_t& NonzeroOf(Component& c, int bx, int by) {
  return c.nonzero[static_cast<size_t>(by) * static_cast<size_t>(c.blocksW) + static_cast<size_t>(bx)];
}

class StreamReader {
 public:
  StreamReader(JPEG_PROPERTIES& props, const uint8_t* data, size_t size)
      : props_(props), st_(props.state), w_(*props.state.work), data_(data), size_(size) {}

  int Run();

 private:
  // Markers and segments (JpegStream.cpp, JpegSegments.cpp).
  int NextMarker();
  int ReadSegment(const uint8_t*& seg, size_t& len);
  int AtEnd(bool params);
  int ParseSegment(int marker, const uint8_t* seg, size_t len, bool params);
  int ParseDht(const uint8_t* s, size_t n);
  int ParseDqt(const uint8_t* s, size_t n);
  int ParseApp0(const uint8_t* s, size_t n);
  int ParseApp14(const uint8_t* s, size_t n);
  int ParseCom(const uint8_t* s, size_t n);

  // The frame header (JpegFrameHeader.cpp).
  int ParseFrame(int marker, const uint8_t* s, size_t n);

  // A scan: its header, its limits, and the pass that decodes it
  // (JpegScan.cpp, JpegScanHeader.cpp, JpegScanLimits.cpp).
  int Scan(const uint8_t* s, size_t n);
  int ReadScanHeader(const uint8_t* s, size_t n);
  int ReadScanComponents(const uint8_t* s);
  int CheckScanTables() const;
  ScanSize MeasureScan() const;
  int CheckScanSize(const ScanSize& size, bool streaming) const;
  int PrepareStoredScan(const ScanSize& size);
  int DecodeStoredScan(BitReader& br);

  // The passes (JpegSequentialScan.cpp, JpegProgressiveScan.cpp).
  int StreamSequentialScan(BitReader& br);
  int StoreSequentialScan(BitReader& br);
  int DcFirstScan(BitReader& br);
  int DcRefineScan(BitReader& br);
  int AcFirstScan(BitReader& br);
  int AcRefineScan(BitReader& br);

  // Walking a scan's blocks (JpegMcuWalk.h, JpegMcuWalk.cpp).
  template <class Block, class RowDone>
  int ForEachBlock(BitReader& br, Block&& block, RowDone&& rowDone);
  int Restart(BitReader& br, int& nextRst);
  int OverrunCode(const BitReader& br) const;

  // Planes, coefficients and output (JpegSamplePlanes.cpp, JpegStoredFrame.cpp).
  int AllocatePlanes();
  int StartOutput();
  int AllocateCoefficients();
  int Finish();

  JPEG_PROPERTIES& props_;
  JpegDecoderState& st_;
  JpegWork& w_;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;

  bool frameThisRead_ = false;
  bool coefReady_ = false;
  bool anyScan_ = false;
  bool outputReady_ = false;
  OutputStage out_;

  // The current scan.
  int ns_ = 0;
  Component* sc_[4] = {};
  int ss_ = 0, se_ = 63, ah_ = 0, al_ = 0;
  int eobrun_ = 0;
  uint64_t coefficientsTouched_ = 0;  // by the scans of stored frames so far
};

}  // namespace jpeg
