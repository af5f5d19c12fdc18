// The marker loop: finds each marker, hands its segment to the parser of its
// kind (T.81 Annex B) and decides what the end of the data or of the image
// means for the read.

#include "jpeg/JpegStream.h"

#include "jpeg/JpegStreamReader.h"

namespace jpeg {

namespace {

// Lossless, hierarchical and arithmetic-coded frames.
bool IsUnsupportedFrame(int m) { return m == 0xC3 || (m >= 0xC5 && m <= 0xCB) || (m >= 0xCD && m <= 0xCF); }

}  // namespace

int StreamReader::NextMarker() {
  while (pos_ + 1 < size_) {
    if (data_[pos_] != 0xFF) {
      ++pos_;  // stray bytes between segments are passed over
      continue;
    }
    uint8_t m = data_[pos_ + 1];
    if (m == 0xFF) {
      ++pos_;  // fill byte
      continue;
    }
    if (m == 0x00) {
      pos_ += 2;
      continue;
    }
    pos_ += 2;
    return m;
  }
  pos_ = size_;
  return -1;
}

int StreamReader::ReadSegment(const uint8_t*& seg, size_t& len) {
  if (pos_ + 2 > size_) return JPEG_ERR_EOF;
  int l = Be16(data_ + pos_);
  if (l < 2) return JPEG_ERR_DATA;
  if (pos_ + static_cast<size_t>(l) > size_) return JPEG_ERR_EOF;
  seg = data_ + pos_ + 2;
  len = static_cast<size_t>(l - 2);
  pos_ += static_cast<size_t>(l);
  return JPEG_SUCCESS;
}

// The end of the data or of the image: a parameter read needs a frame, an
// image read at least one scan of it.
int StreamReader::AtEnd(bool params) {
  if (params) return frameThisRead_ ? JPEG_SUCCESS : JPEG_ERR_NO_FRAME;
  return anyScan_ ? Finish() : JPEG_ERR_NO_IMAGE;
}

int StreamReader::ParseSegment(int marker, const uint8_t* seg, size_t len, bool params) {
  switch (marker) {
    case 0xC0:
    case 0xC1:
    case 0xC2: return ParseFrame(marker, seg, len);
    case 0xC4: return ParseDht(seg, len);
    case 0xDB: return ParseDqt(seg, len);
    case 0xDD:
      if (len != 2) return JPEG_ERR_DATA;
      w_.restartInterval = Be16(seg);
      return JPEG_SUCCESS;
    case 0xDA:
      // A parameter read ends where the image data begins.
      if (params) return frameThisRead_ ? kStop : JPEG_ERR_NO_FRAME;
      return Scan(seg, len);
    case 0xE0: return ParseApp0(seg, len);
    case 0xEE: return ParseApp14(seg, len);
    case 0xFE: return ParseCom(seg, len);
    default: return JPEG_SUCCESS;  // other segments are passed over
  }
}

int StreamReader::Run() {
  const bool params = IsParamsType(st_.ioType);
  st_.anyFrameHeaderAcceptable = params ? 1 : 0;
  if (size_ < 2 || data_[0] != 0xFF || data_[1] != 0xD8) return JPEG_ERR_NOT_JPEG;
  pos_ = 2;

  for (;;) {
    const int m = NextMarker();
    if (m < 0) return AtEnd(params);
    if ((m >= 0xD0 && m <= 0xD7) || m == 0xD8) continue;
    if (m == 0xD9) {
      // An image read that has met no frame yet looks for an image after this one.
      if (!params && !frameThisRead_ && NextMarker() == 0xD8) continue;
      return AtEnd(params);
    }
    if (IsUnsupportedFrame(m)) return JPEG_ERR_UNSUPPORTED_FRAME;

    const uint8_t* seg = nullptr;
    size_t len = 0;
    int rc = ReadSegment(seg, len);
    if (rc == JPEG_SUCCESS) rc = ParseSegment(m, seg, len, params);
    if (rc == kStop) return JPEG_SUCCESS;
    if (rc != JPEG_SUCCESS) return rc;
  }
}

int ReadStream(JPEG_PROPERTIES& props, const uint8_t* data, size_t size) {
  StreamReader reader(props, data, size);
  return reader.Run();
}

}  // namespace jpeg
