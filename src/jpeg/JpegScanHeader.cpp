// The scan header: which components a scan codes with which tables, its
// spectral selection and successive approximation, and the tables it needs.

#include "jpeg/JpegStreamReader.h"

namespace jpeg {

namespace {

Component* FindComponent(Frame& f, int id) {
  for (Component& c : f.comps)
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace

// Two bytes a component: its id and its DC and AC table numbers.
int StreamReader::ReadScanComponents(const uint8_t* s) {
  for (int i = 0; i < ns_; ++i) {
    int id = s[2 * i];
    int td = s[1 + 2 * i] >> 4;
    int ta = s[1 + 2 * i] & 15;
    Component* found = FindComponent(w_.frame, id);
    if (found == nullptr || td > 3 || ta > 3) return JPEG_ERR_DATA;
    for (int j = 0; j < i; ++j)
      if (sc_[j] == found) return JPEG_ERR_DATA;
    found->dcTable = td;
    found->acTable = ta;
    found->pred = 0;
    sc_[i] = found;
  }
  return JPEG_SUCCESS;
}

int StreamReader::CheckScanTables() const {
  const bool progressive = w_.frame.progressive;
  for (int i = 0; i < ns_; ++i) {
    const Component& c = *sc_[i];
    bool needDc = ss_ == 0 && ah_ == 0;
    bool needAc = !progressive || ss_ > 0;
    if ((needDc && !w_.dc[c.dcTable].defined) || (needAc && !w_.ac[c.acTable].defined)) return JPEG_ERR_NO_HUFFMAN;
    if (!w_.quant[c.tq].defined) return JPEG_ERR_NO_QUANT;
  }
  return JPEG_SUCCESS;
}

int StreamReader::ReadScanHeader(const uint8_t* s, size_t n) {
  if (!frameThisRead_ || !w_.frame.valid) return JPEG_ERR_NO_FRAME;
  if (n < 1) return JPEG_ERR_DATA;
  ns_ = s[0];
  if (ns_ < 1 || ns_ > 4 || n != 4 + 2 * static_cast<size_t>(ns_)) return JPEG_ERR_DATA;
  if (int rc = ReadScanComponents(s + 1); rc != JPEG_SUCCESS) return rc;

  const uint8_t* tail = s + 1 + 2 * ns_;
  ss_ = tail[0];
  se_ = tail[1];
  ah_ = tail[2] >> 4;
  al_ = tail[2] & 15;
  eobrun_ = 0;
  if (w_.frame.progressive) {
    if (ss_ > se_ || se_ > 63 || (ss_ == 0 && se_ != 0) || (ss_ > 0 && ns_ != 1) || al_ > 13 || ah_ > 13)
      return JPEG_ERR_DATA;
  } else {
    ss_ = 0, se_ = 63, ah_ = 0, al_ = 0;
  }
  return CheckScanTables();
}

}  // namespace jpeg
