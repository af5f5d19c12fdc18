// The frame header: the picture's size and components, the geometry of its
// blocks and MCUs, and what a parameter read reports of it.

#include "jpeg/JpegStreamReader.h"

#include <algorithm>

namespace jpeg {

namespace {

// The components' sampling factors and tables, three bytes each.
int ReadComponents(Frame& f, const uint8_t* s, int nf, int& hmax, int& vmax) {
  f.comps.resize(static_cast<size_t>(nf));
  for (int i = 0; i < nf; ++i) {
    const uint8_t* c = s + 3 * i;
    Component& comp = f.comps[static_cast<size_t>(i)];
    comp.id = c[0];
    comp.h = c[1] >> 4;
    comp.v = c[1] & 15;
    comp.tq = c[2];
    if (comp.h < 1 || comp.h > 4 || comp.v < 1 || comp.v > 4 || comp.tq > 3) return JPEG_ERR_SOF;
    hmax = std::max(hmax, comp.h);
    vmax = std::max(vmax, comp.v);
  }
  return JPEG_SUCCESS;
}

void SetGeometry(Frame& f, int marker, int width, int height, int hmax, int vmax) {
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
}

// The colour a parameter read reports, from the component count, the ids
// and the JFIF and Adobe segments seen before the frame.
int FrameColor(const Frame& f, const JpegDecoderState& st) {
  const size_t nf = f.comps.size();
  if (nf == 1) return COLOR_GRAY;
  if (nf == 3) {
    bool rgbIds = f.comps[0].id == 'R' && f.comps[1].id == 'G' && f.comps[2].id == 'B';
    bool rgb = st.adobeFound ? st.adobeTransform == 0 : (rgbIds && !st.jfifFound);
    return rgb ? COLOR_RGB : COLOR_YCBCR;
  }
  if (nf == 4 && !st.adobeFound) return COLOR_YCBCRA_FPX;
  return COLOR_OTHER;  // CMYK, YCCK and anything else
}

}  // namespace

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
  const int height = Be16(s + 1);
  const int width = Be16(s + 3);
  const int nf = s[5];
  if (height == 0) return JPEG_ERR_DNL;
  if (nf == 0) return JPEG_ERR_COMP;
  if (width == 0 || n != 6 + 3 * static_cast<size_t>(nf)) return JPEG_ERR_SOF;

  f.valid = false;
  int hmax = 1, vmax = 1;
  if (int rc = ReadComponents(f, s + 6, nf, hmax, vmax); rc != JPEG_SUCCESS) return rc;
  SetGeometry(f, marker, width, height, hmax, vmax);
  f.valid = true;
  frameThisRead_ = true;
  coefReady_ = false;
  st_.anyFrameHeaderAcceptable = 0;
  props_.jpgWidth = static_cast<uint32_t>(width);
  props_.jpgHeight = static_cast<uint32_t>(height);
  props_.jpgChannels = nf;
  // An image read keeps the colour the caller declared for the data.
  if (IsParamsType(st_.ioType)) props_.jpgColor = FrameColor(f, st_);
  return JPEG_SUCCESS;
}

}  // namespace jpeg
