// Fuzzes the JPEG decoder on memory buffers the way the texture loader
// drives it: a parameter read, then an image read into a buffer sized from
// the parameters. The last input byte picks the output layout.
#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[size - 1];
  JPEG_PROPERTIES p;
  if (jpegInit(&p) != 0) return 0;
  p.jpgBytes = data;
  p.jpgSizeBytes = static_cast<uint32_t>(size);
  if (jpegRead(&p, READ_PARAMS_BUFFER) == 0) {
    const uint64_t w = p.jpgWidth, h = p.jpgHeight;
    // Large frames only cost time here; the decoder's own limits are tested elsewhere.
    if (w * h <= (1u << 20)) {
      int ch = 1;
      if (p.jpgChannels == 1) {
        p.dibColor = (flags & 1) ? COLOR_BGR : COLOR_GRAY;
        ch = (flags & 1) ? 3 : 1;
      } else if (p.jpgChannels == 3 || p.jpgColor == COLOR_OTHER) {
        static const int32_t colours[] = {COLOR_BGR, COLOR_RGB, COLOR_RGBA_FPX, COLOR_YCBCR};
        p.dibColor = p.jpgColor == COLOR_OTHER ? COLOR_OTHER : colours[flags & 3];
        ch = p.dibColor == COLOR_RGBA_FPX || p.dibColor == COLOR_OTHER ? 4 : 3;
      } else {
        p.dibColor = COLOR_RGBA_FPX;
        ch = 4;
      }
      const int pad = (flags >> 2) & 3;
      std::vector<uint8_t> px(static_cast<size_t>((w * static_cast<uint64_t>(ch) + static_cast<uint64_t>(pad)) * h) + 1);
      p.dibBytes = px.data();
      p.dibWidth = static_cast<uint32_t>(w);
      p.dibHeight = (flags & 16) ? -static_cast<int32_t>(h) : static_cast<int32_t>(h);
      p.dibPadBytes = pad;
      p.dibChannels = ch;
      jpegRead(&p, READ_IMAGE_BUFFER);
    }
  }
  jpegFree(&p);
  return 0;
}
