// The marker loop, the segment parsers and the entropy decoding of
// sequential and progressive Huffman scans (T.81 Annexes B, F and G).

#include "jpeg/JpegStream.h"

#include "jpeg/JpegInternal.h"
#include "jpeg/JpegOutput.h"
#include "jpeg/JpegSequentialBlock.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace jpeg {

namespace {

constexpr int kStop = 1;  // internal: end the read with success
// Refuse frames whose stored coefficients (progressive or multi-scan) would need more.
constexpr size_t kMaxWorkBytes = size_t(1) << 30;
// Scans of a stored frame may together touch each coefficient this many
// times. A valid file touches one at most 14 times (its first scan and one
// refinement per further bit); beyond that, scans only repeat themselves,
// and a short file of many scans would otherwise cost time far beyond its
// size.
constexpr uint64_t kMaxCoefficientPasses = 16;

// Zig-zag positions from..to-1 as bits (from <= to <= 64).
inline uint64_t Positions(int from, int to) {
  uint64_t below = to >= 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
  return below & (~uint64_t{0} << from);
}

inline bool IsParamsType(int io) { return io == 0 || io == 1 || io == 4 || io == 5 || io == 20 || io == 21; }
inline int Be16(const uint8_t* p) { return (p[0] << 8) | p[1]; }
class StreamReader {
 public:
  StreamReader(JPEG_PROPERTIES& props, const uint8_t* data, size_t size)
      : props_(props), st_(props.state), w_(*props.state.work), data_(data), size_(size) {}

  int Run();

 private:
  int NextMarker();
  int ReadSegment(const uint8_t*& seg, size_t& len);
  int ParseFrame(int marker, const uint8_t* s, size_t n);
  int ParseDht(const uint8_t* s, size_t n);
  int ParseDqt(const uint8_t* s, size_t n);
  int ParseApp0(const uint8_t* s, size_t n);
  int ParseApp14(const uint8_t* s, size_t n);
  int ParseCom(const uint8_t* s, size_t n);
  int Scan(const uint8_t* s, size_t n);
  int AllocatePlanes();
  int AllocateCoefficients();
  int StartOutput();
  int Finish();
  int Restart(BitReader& br, int& nextRst);
  int OverrunCode(const BitReader& br) const;
  template <class Block, class RowDone>
  int ForEachBlock(BitReader& br, Block&& block, RowDone&& rowDone);

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

// A scan that needs more bits than it has: running into the end of the data
// or the end-of-image marker is data ending early; another marker, damage.
int StreamReader::OverrunCode(const BitReader& br) const {
  const uint8_t* q = br.p;
  while (q < br.end && *q == 0xFF) ++q;
  return (q >= br.end || *q == 0xD9) ? JPEG_ERR_EOF : JPEG_ERR_DATA;
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

int StreamReader::Run() {
  const int io = st_.ioType;
  const bool params = IsParamsType(io);
  st_.anyFrameHeaderAcceptable = params ? 1 : 0;
  if (size_ < 2 || data_[0] != 0xFF || data_[1] != 0xD8) return JPEG_ERR_NOT_JPEG;
  pos_ = 2;

  for (;;) {
    int m = NextMarker();
    if (m < 0) {
      // End of data.
      if (params) return frameThisRead_ ? JPEG_SUCCESS : JPEG_ERR_NO_FRAME;
      return anyScan_ ? Finish() : JPEG_ERR_NO_IMAGE;
    }
    if (m >= 0xD0 && m <= 0xD7) continue;
    if (m == 0xD8) continue;
    if (m == 0xD9) {
      if (params) return frameThisRead_ ? JPEG_SUCCESS : JPEG_ERR_NO_FRAME;
      if (!frameThisRead_) {
        if (NextMarker() == 0xD8) continue;
        return JPEG_ERR_NO_IMAGE;
      }
      return anyScan_ ? Finish() : JPEG_ERR_NO_IMAGE;
    }
    if (m == 0xC3 || (m >= 0xC5 && m <= 0xCB) || (m >= 0xCD && m <= 0xCF)) return JPEG_ERR_UNSUPPORTED_FRAME;

    const uint8_t* seg = nullptr;
    size_t len = 0;
    int rc = ReadSegment(seg, len);
    if (rc != JPEG_SUCCESS) return rc;

    switch (m) {
      case 0xC0:
      case 0xC1:
      case 0xC2:
        rc = ParseFrame(m, seg, len);
        break;
      case 0xC4:
        rc = ParseDht(seg, len);
        break;
      case 0xDB:
        rc = ParseDqt(seg, len);
        break;
      case 0xDD:
        if (len != 2) return JPEG_ERR_DATA;
        w_.restartInterval = Be16(seg);
        break;
      case 0xDA:
        if (params) return frameThisRead_ ? JPEG_SUCCESS : JPEG_ERR_NO_FRAME;
        rc = Scan(seg, len);
        break;
      case 0xE0:
        rc = ParseApp0(seg, len);
        break;
      case 0xEE:
        rc = ParseApp14(seg, len);
        break;
      case 0xFE:
        rc = ParseCom(seg, len);
        break;
      default:
        break;  // other segments are passed over
    }
    if (rc == kStop) return JPEG_SUCCESS;
    if (rc != JPEG_SUCCESS) return rc;
  }
}

int StreamReader::ParseFrame(int marker, const uint8_t* s, size_t n) {
  Frame& f = w_.frame;
  if (marker != 0xC0 && !st_.anyFrameHeaderAcceptable && f.valid) {
    // The frame of the preceding parameter read stays in force.
    if (frameThisRead_) return JPEG_ERR_MULTI_FRAME;
    frameThisRead_ = true;
    coefReady_ = false;
    return JPEG_SUCCESS;
  }
  if (frameThisRead_) return JPEG_ERR_MULTI_FRAME;
  if (n < 6) return JPEG_ERR_SOF;
  if (s[0] != 8) return JPEG_ERR_UNSUPPORTED_FRAME;
  int height = Be16(s + 1);
  int width = Be16(s + 3);
  int nf = s[5];
  if (height == 0) return JPEG_ERR_DNL;
  if (nf == 0) return JPEG_ERR_COMP;
  if (width == 0 || n != 6 + 3 * static_cast<size_t>(nf)) return JPEG_ERR_SOF;

  f.valid = false;
  f.comps.resize(static_cast<size_t>(nf));
  int hmax = 1, vmax = 1;
  for (int i = 0; i < nf; ++i) {
    const uint8_t* c = s + 6 + 3 * i;
    Component& comp = f.comps[static_cast<size_t>(i)];
    comp.id = c[0];
    comp.h = c[1] >> 4;
    comp.v = c[1] & 15;
    comp.tq = c[2];
    if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.tq > 3) return JPEG_ERR_SOF;
    hmax = std::max(hmax, comp.h);
    vmax = std::max(vmax, comp.v);
  }
  f.marker = marker;
  f.progressive = marker == 0xC2;
  f.width = width;
  f.height = height;
  f.hmax = hmax;
  f.vmax = vmax;
  f.mcusX = (width + 8 * hmax - 1) / (8 * hmax);
  f.mcusY = (height + 8 * vmax - 1) / (8 * vmax);
  for (Component& c : f.comps) {
    c.compW = (width * c.h + hmax - 1) / hmax;
    c.compH = (height * c.v + vmax - 1) / vmax;
    c.blocksW = f.mcusX * c.h;
    c.blocksH = f.mcusY * c.v;
    c.realBlocksW = (c.compW + 7) / 8;
    c.realBlocksH = (c.compH + 7) / 8;
  }
  f.valid = true;
  frameThisRead_ = true;
  coefReady_ = false;
  st_.anyFrameHeaderAcceptable = 0;
  props_.jpgWidth = static_cast<uint32_t>(width);
  props_.jpgHeight = static_cast<uint32_t>(height);
  props_.jpgChannels = nf;
  // An image read keeps the colour the caller declared for the data.
  if (!IsParamsType(st_.ioType)) return JPEG_SUCCESS;
  if (nf == 1) {
    props_.jpgColor = COLOR_GRAY;
  } else if (nf == 3) {
    bool rgbIds = f.comps[0].id == 'R' && f.comps[1].id == 'G' && f.comps[2].id == 'B';
    bool rgb = st_.adobeFound ? st_.adobeTransform == 0 : (rgbIds && !st_.jfifFound);
    props_.jpgColor = rgb ? COLOR_RGB : COLOR_YCBCR;
  } else if (nf == 4 && !st_.adobeFound) {
    props_.jpgColor = COLOR_YCBCRA_FPX;
  } else {
    props_.jpgColor = COLOR_OTHER;  // CMYK, YCCK and anything else
  }
  return JPEG_SUCCESS;
}

int StreamReader::ParseDht(const uint8_t* s, size_t n) {
  if (n >= 1092) return JPEG_ERR_DATA;
  size_t i = 0;
  while (i < n) {
    int tc = s[i] >> 4;
    int th = s[i] & 15;
    if (tc > 1 || th > 3) return JPEG_ERR_BAD_HUFFMAN;
    if (n - i < 17) return JPEG_ERR_BAD_HUFFMAN;
    const uint8_t* counts = s + i + 1;
    int total = 0;
    for (int k = 0; k < 16; ++k) total += counts[k];
    if (total > 256 || n - i - 17 < static_cast<size_t>(total)) return JPEG_ERR_BAD_HUFFMAN;
    HuffTable& t = tc == 0 ? w_.dc[th] : w_.ac[th];
    if (!BuildHuffTable(t, counts, s + i + 17, total, tc == 1)) {
      t.defined = false;
      return JPEG_ERR_BAD_HUFFMAN;
    }
    i += 17 + static_cast<size_t>(total);
  }
  return JPEG_SUCCESS;
}

int StreamReader::ParseDqt(const uint8_t* s, size_t n) {
  if (n > 516) return JPEG_ERR_DATA;
  size_t i = 0;
  while (i < n) {
    int pq = s[i] >> 4;
    int tq = s[i] & 15;
    if (pq > 1 || tq > 3) return JPEG_ERR_BAD_QUANT;
    size_t need = pq ? 128 : 64;
    if (n - i - 1 < need) return JPEG_ERR_BAD_QUANT;
    QuantTable& q = w_.quant[tq];
    const uint8_t* v = s + i + 1;
    for (int k = 0; k < 64; ++k)
      q.values[kZigzagToNatural[k]] = static_cast<uint16_t>(pq ? Be16(v + 2 * k) : v[k]);
    q.defined = true;
    i += 1 + need;
  }
  return JPEG_SUCCESS;
}

int StreamReader::ParseApp0(const uint8_t* s, size_t n) {
  if (n >= 14 && std::memcmp(s, "JFIF\0", 5) == 0) {
    st_.jfifFound = 1;
    st_.jfifVersion = Be16(s + 5);
    st_.jfifDensityUnits = s[7];
    st_.jfifXDensity = Be16(s + 8);
    st_.jfifYDensity = Be16(s + 10);
    props_.jpgThumbWidth = s[12];
    props_.jpgThumbHeight = s[13];
  } else if (n >= 6 && std::memcmp(s, "JFXX\0", 5) == 0) {
    int code = s[5];
    // Palette and RGB thumbnails carry their size; a JPEG-coded one its own frame.
    if ((code == 0x11 || code == 0x13) && n >= 8) {
      props_.jpgThumbWidth = s[6];
      props_.jpgThumbHeight = s[7];
    }
  }
  return JPEG_SUCCESS;
}

int StreamReader::ParseApp14(const uint8_t* s, size_t n) {
  if (n >= 12 && std::memcmp(s, "Adobe", 5) == 0) {
    st_.adobeFound = 1;
    st_.adobeVersion = Be16(s + 5);
    st_.adobeFlags0 = Be16(s + 7);
    st_.adobeFlags1 = Be16(s + 9);
    st_.adobeTransform = s[11];
  }
  return JPEG_SUCCESS;
}

int StreamReader::ParseCom(const uint8_t* s, size_t n) {
  if (st_.commentBuffer == nullptr) return JPEG_SUCCESS;
  if (n > st_.commentBufferSize) return JPEG_ERR_COMMENT_BUFFER;
  std::memcpy(st_.commentBuffer, s, n);
  if (n < st_.commentBufferSize) st_.commentBuffer[n] = '\0';
  st_.commentLength = static_cast<uint32_t>(n);
  return JPEG_SUCCESS;
}

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

// Walks the scan's MCUs in order, handling restart intervals and noticing
// data that ends early. block(comp, bx, by) decodes one block; rowDone(r,
// last) follows every MCU row (block row for a one-component scan).
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

int StreamReader::Scan(const uint8_t* s, size_t n) {
  Frame& f = w_.frame;
  if (!frameThisRead_ || !f.valid) return JPEG_ERR_NO_FRAME;
  if (n < 1) return JPEG_ERR_DATA;
  ns_ = s[0];
  if (ns_ < 1 || ns_ > 4 || n != 4 + 2 * static_cast<size_t>(ns_)) return JPEG_ERR_DATA;
  for (int i = 0; i < ns_; ++i) {
    int id = s[1 + 2 * i];
    int td = s[2 + 2 * i] >> 4;
    int ta = s[2 + 2 * i] & 15;
    Component* found = nullptr;
    for (Component& c : f.comps)
      if (c.id == id) {
        found = &c;
        break;
      }
    if (found == nullptr || td > 3 || ta > 3) return JPEG_ERR_DATA;
    for (int j = 0; j < i; ++j)
      if (sc_[j] == found) return JPEG_ERR_DATA;
    found->dcTable = td;
    found->acTable = ta;
    found->pred = 0;
    sc_[i] = found;
  }
  const uint8_t* tail = s + 1 + 2 * ns_;
  ss_ = tail[0];
  se_ = tail[1];
  ah_ = tail[2] >> 4;
  al_ = tail[2] & 15;
  eobrun_ = 0;
  if (f.progressive) {
    if (ss_ > se_ || se_ > 63 || (ss_ == 0 && se_ != 0) || (ss_ > 0 && ns_ != 1) || al_ > 13 || ah_ > 13)
      return JPEG_ERR_DATA;
  } else {
    ss_ = 0, se_ = 63, ah_ = 0, al_ = 0;
  }
  for (int i = 0; i < ns_; ++i) {
    const Component& c = *sc_[i];
    bool needDc = ss_ == 0 && ah_ == 0;
    bool needAc = !f.progressive || ss_ > 0;
    if ((needDc && !w_.dc[c.dcTable].defined) || (needAc && !w_.ac[c.acTable].defined)) return JPEG_ERR_NO_HUFFMAN;
    if (!w_.quant[c.tq].defined) return JPEG_ERR_NO_QUANT;
  }

  // Every block of a scan that codes DC values costs at least one bit, so
  // data too short for that cannot be a whole scan: refused before any
  // memory is set aside for it.
  const uint64_t bitsLeft = 8 * static_cast<uint64_t>(size_ - pos_);
  uint64_t scanBlocks = 0;
  if (ns_ == 1) {
    scanBlocks = static_cast<uint64_t>(sc_[0]->realBlocksW) * static_cast<uint64_t>(sc_[0]->realBlocksH);
  } else {
    for (int i = 0; i < ns_; ++i) scanBlocks += static_cast<uint64_t>(sc_[i]->h * sc_[i]->v);
    scanBlocks *= static_cast<uint64_t>(f.mcusX) * static_cast<uint64_t>(f.mcusY);
  }
  uint64_t frameBlocks = 0, codedBlocks = 0;
  for (const Component& c : f.comps) {
    frameBlocks += static_cast<uint64_t>(c.blocksW) * static_cast<uint64_t>(c.blocksH);
    codedBlocks += static_cast<uint64_t>(c.realBlocksW) * static_cast<uint64_t>(c.realBlocksH);
  }
  const bool streaming = !f.progressive && ns_ == static_cast<int>(f.comps.size()) && !coefReady_;
  if (!streaming && !coefReady_ && frameBlocks * 64 * 2 > kMaxWorkBytes) return JPEG_ERR_MEMORY;
  if (ss_ == 0 && scanBlocks > bitsLeft) return JPEG_ERR_EOF;

  BitReader br;
  br.Reset(data_ + pos_, data_ + size_);
  anyScan_ = true;
  int rc = JPEG_SUCCESS;
  if (streaming) {
    // The one scan of a sequential frame: transform and write as we go.
    rc = StartOutput();
    if (rc != JPEG_SUCCESS) return rc;
    for (Component& c : f.comps) PrepareQuant(w_.quant[c.tq], c.qf);
    const IdctFunction idct = ChooseIdct();
    std::vector<int> avail(f.comps.size(), 0);
    alignas(16) int16_t blk[64] = {};
    // The ring row of each component's current block row: finding it costs a
    // division, too much to pay for every block.
    int rowOf[4] = {-1, -1, -1, -1};
    uint8_t* rowStart[4] = {};
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          int kind = DecodeBlockSeq(br, w_.dc[c.dcTable], w_.ac[c.acTable], c.pred, blk);
          if (kind < 0) return false;
          const size_t ci = static_cast<size_t>(&c - f.comps.data());
          if (rowOf[ci] != by) rowOf[ci] = by, rowStart[ci] = c.Row(by * 8);
          const ptrdiff_t stride = static_cast<ptrdiff_t>(c.blocksW) * 8;
          idct(blk, c.qf, rowStart[ci] + bx * 8, stride, kind == 0);
          ClearBlock(blk, kind == 0);
          return true;
        },
        [&](int row, bool last) {
          for (size_t i = 0; i < avail.size(); ++i) {
            int rows = ns_ == 1 ? (row + 1) * 8 : (row + 1) * 8 * f.comps[i].v;
            avail[i] = last ? INT_MAX : rows;
          }
          out_.Emit(f, avail);
        });
    if (rc != JPEG_SUCCESS) return rc;
    return kStop;
  }

  if (!coefReady_) {
    // Every component's DC values are still to come, a bit a block at least.
    if (codedBlocks > bitsLeft) return JPEG_ERR_EOF;
    rc = AllocateCoefficients();
    if (rc != JPEG_SUCCESS) return rc;
  }
  coefficientsTouched_ += scanBlocks * static_cast<uint64_t>(se_ - ss_ + 1);
  if (coefficientsTouched_ > kMaxCoefficientPasses * 64 * frameBlocks) return JPEG_ERR_DATA;
  auto noRow = [](int, bool) {};
  auto coefBlock = [](Component& c, int bx, int by) {
    return c.coef.data() + (static_cast<size_t>(by) * static_cast<size_t>(c.blocksW) + static_cast<size_t>(bx)) * 64;
  };
  auto nonzeroOf = [](Component& c, int bx, int by) -> uint64_t& {
    return c.nonzero[static_cast<size_t>(by) * static_cast<size_t>(c.blocksW) + static_cast<size_t>(bx)];
  };

  if (!f.progressive) {
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          int16_t* blk = coefBlock(c, bx, by);
          std::memset(blk, 0, 64 * sizeof(int16_t));
          return DecodeBlockSeq(br, w_.dc[c.dcTable], w_.ac[c.acTable], c.pred, blk) >= 0;
        },
        noRow);
  } else if (ss_ == 0 && ah_ == 0) {
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          int sym = DecodeHuff(br, w_.dc[c.dcTable]);
          if (sym < 0 || sym > 15) return false;
          int diff = sym ? Extend(br.Get(sym), sym) : 0;
          c.pred = Wrap16(c.pred + diff);
          coefBlock(c, bx, by)[0] = static_cast<int16_t>(c.pred * (1 << al_));
          return true;
        },
        noRow);
  } else if (ss_ == 0) {
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          if (br.Get(1)) coefBlock(c, bx, by)[0] |= static_cast<int16_t>(1 << al_);
          return true;
        },
        noRow);
  } else if (ah_ == 0) {
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          if (eobrun_ > 0) {
            --eobrun_;
            return true;
          }
          int16_t* blk = coefBlock(c, bx, by);
          const HuffTable& ac = w_.ac[c.acTable];
          for (int k = ss_; k <= se_; ++k) {
            int rs = DecodeHuff(br, ac);
            if (rs < 0) return false;
            int r = rs >> 4;
            int sz = rs & 15;
            if (sz == 0) {
              if (r < 15) {
                eobrun_ = (1 << r) - 1;
                if (r) eobrun_ += static_cast<int>(br.Get(r));
                break;
              }
              k += 15;
              continue;
            }
            k += r;
            if (k > 63) return false;
            int16_t& coef = blk[kZigzagToNatural[k]];
            coef = static_cast<int16_t>(Extend(br.Get(sz), sz) * (1 << al_));
            // Corrupt sizes can wrap to zero, which must stay counted as zero.
            if (coef != 0) nonzeroOf(c, bx, by) |= uint64_t{1} << k;
          }
          return true;
        },
        noRow);
  } else {
    rc = ForEachBlock(
        br,
        [&](Component& c, int bx, int by) {
          int16_t* blk = coefBlock(c, bx, by);
          const HuffTable& ac = w_.ac[c.acTable];
          const int p1 = 1 << al_;
          const int m1 = -p1;
          // Adds a correction bit to a coefficient already known to be nonzero.
          auto refine = [&](int16_t& coef) {
            if (br.Get(1) && (coef & p1) == 0) coef = static_cast<int16_t>(coef + (coef >= 0 ? p1 : m1));
          };
          // Which coefficients are already nonzero, by zig-zag position:
          // the refinement bits go to those, and runs count the others.
          uint64_t& nz = nonzeroOf(c, bx, by);
          auto refineUpTo = [&](int from, int to) {  // positions from..to-1
            for (uint64_t m = nz & Positions(from, to); m != 0; m &= m - 1)
              refine(blk[kZigzagToNatural[__builtin_ctzll(m)]]);
          };
          int k = ss_;
          if (eobrun_ == 0) {
            for (; k <= se_; ++k) {
              int rs = DecodeHuff(br, ac);
              if (rs < 0) return false;
              int r = rs >> 4;
              int sz = rs & 15;
              int value = 0;
              if (sz != 0) {
                if (sz != 1) return false;
                value = br.Get(1) ? p1 : m1;
              } else if (r != 15) {
                eobrun_ = 1 << r;
                if (r) eobrun_ += static_cast<int>(br.Get(r));
                break;
              }
              // Skip r zero coefficients, refining the nonzero ones passed:
              // the run ends on the zero after them.
              uint64_t zeros = ~nz & Positions(k, se_ + 1);
              for (; r > 0 && zeros != 0; --r) zeros &= zeros - 1;
              int stop = zeros != 0 ? __builtin_ctzll(zeros) : se_ + 1;
              refineUpTo(k, stop);
              k = stop;
              if (value != 0 && k <= se_) {
                blk[kZigzagToNatural[k]] = static_cast<int16_t>(value);
                nz |= uint64_t{1} << k;
              }
            }
          }
          if (eobrun_ > 0) {
            if (k <= se_) refineUpTo(k, se_ + 1);
            --eobrun_;
          }
          return true;
        },
        noRow);
  }
  if (rc != JPEG_SUCCESS) return rc;
  pos_ = static_cast<size_t>(br.p - data_);
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

}  // namespace

int ReadStream(JPEG_PROPERTIES& props, const uint8_t* data, size_t size) {
  StreamReader reader(props, data, size);
  return reader.Run();
}

}  // namespace jpeg
