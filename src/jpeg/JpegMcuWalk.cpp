// The walk's rare events: a restart marker, and a scan that runs out of data.

#include "jpeg/JpegMcuWalk.h"

namespace jpeg {

int StreamReader::Restart(BitReader& br, int& nextRst) {
  // Whatever is left before the marker is padding.
  pos_ = static_cast<size_t>(br.p - data_);
  br.Discard();
  while (pos_ + 1 < size_ && !(data_[pos_] == 0xFF && data_[pos_ + 1] != 0x00 && data_[pos_ + 1] != 0xFF)) ++pos_;
  if (pos_ + 1 >= size_) return JPEG_ERR_EOF;
  if (data_[pos_ + 1] != 0xD0 + nextRst) return JPEG_ERR_BAD_RST;
  pos_ += 2;
  br.Reset(data_ + pos_, data_ + size_);
  nextRst = (nextRst + 1) & 7;
  for (int i = 0; i < ns_; ++i) sc_[i]->pred = 0;
  eobrun_ = 0;
  return JPEG_SUCCESS;
}

// A scan that needs more bits than it has: running into the end of the data
// or the end-of-image marker is data ending early; another marker, damage.
int StreamReader::OverrunCode(const BitReader& br) const {
  const uint8_t* q = br.p;
  while (q < br.end && *q == 0xFF) ++q;
  return (q >= br.end || *q == 0xD9) ? JPEG_ERR_EOF : JPEG_ERR_DATA;
}

}  // namespace jpeg
