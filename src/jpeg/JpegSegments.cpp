// The segments beside the frame and the scans: Huffman and quantisation
// tables, the JFIF and Adobe application segments, and comments.

#include "jpeg/JpegStreamReader.h"

#include <cstring>

namespace jpeg {

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

}  // namespace jpeg
