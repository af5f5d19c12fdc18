#pragma once
// Upsampling, colour conversion and writing of output rows.

#include "jpeg/JpegColorPaths.h"
#include "jpeg/JpegInternal.h"

#include <vector>

namespace jpeg {

class OutputStage {
 public:
  // Chooses the conversion for the frame and the caller's output
  // description; answers an error code.
  int Init(const JPEG_PROPERTIES& props, const JpegDecoderState& st, Frame& frame);
  // Writes every row not yet written whose samples are decoded: avail[c] is
  // the number of plane rows of component c that hold final samples.
  void Emit(Frame& frame, const std::vector<int>& avail);
  int RowsWritten() const { return next_; }
  int Rows() const { return outH_; }

 private:
  enum Src { kGray, kYcc, kRgb, kYcca, kRgba, kRaw };
  enum Dst { kDstGray, kDstRgb, kDstBgr, kDstRgba, kDstRaw };

  const uint8_t* UpsampleRow(Component& c, const Frame& f, int y);
  void UpsampleBilinear(const Component& c, const Frame& f, const uint8_t* r0, const uint8_t* r1, int wy, uint8_t* out);
  int NeededRow(const Component& c, const Frame& f, int y) const;
  void WriteRow(const Frame& f, uint8_t* dst);

  YccRowFunction yccRow_ = nullptr;
  bool avx2_ = false;
  Src src_ = kGray;
  Dst dst_ = kDstGray;
  uint8_t* first_ = nullptr;
  ptrdiff_t stride_ = 0;
  int channels_ = 0;
  int outW_ = 0, outH_ = 0;
  int next_ = 0;
  int used_ = 0;  // components that feed the output
  std::vector<const uint8_t*> rows_;
  std::vector<uint16_t> vtmp_;
  // Horizontal interpolation for the general case, per component.
  struct HMap {
    std::vector<int32_t> x0, x1, w;
  };
  std::vector<HMap> hmaps_;
};

}  // namespace jpeg
