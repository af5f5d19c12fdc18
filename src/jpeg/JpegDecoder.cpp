// The property-block operations: initialisation, validation, input and
// release. The stream itself is read by JpegStream.

#include "jpeg/JpegDecoder.h"

#include "jpeg/JpegInternal.h"
#include "jpeg/JpegStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

void JpegWorkDeleter::operator()(JpegWork* work) const { delete work; }

JpegDecoderState::~JpegDecoderState() {
  if (fileHandle >= 0) ::close(fileHandle);
}

namespace {

bool ProducesPixels(int io) { return io == 2 || io == 3 || io == 6 || io == 7 || (io >= 14 && io <= 21); }

bool ColorPairAccepted(int jc, int jn, int dc, int dn) {
  const bool gray1 = dc == COLOR_GRAY && dn == 1;
  const bool rgb3 = (dc == COLOR_RGB || dc == COLOR_BGR) && dn == 3;
  const bool rgba4 = dc == COLOR_RGBA_FPX && dn == 4;
  switch (jc) {
    case COLOR_GRAY: return jn == 1 && (gray1 || rgb3 || rgba4);
    case COLOR_RGB: return jn == 3 && (rgb3 || rgba4);
    case COLOR_YCBCR: return jn == 3 && (gray1 || rgb3 || rgba4 || dc == COLOR_YCBCR);
    case COLOR_RGBA_FPX:
    case COLOR_YCBCRA_FPX: return jn == 4 && rgba4;
    case COLOR_OTHER: return dc == COLOR_OTHER;
    default: return false;
  }
}

// The output and input description a read will use.
struct Description {
  const uint8_t* dibBytes;
  uint32_t dibWidth;
  int32_t dibHeight, dibPadBytes, dibChannels, dibColor, dibSubsampling;
  const uint8_t* jpgBytes;
  uint32_t jpgSizeBytes;
};

int Validate(const JPEG_PROPERTIES& p, const Description& d, int io) {
  if (ProducesPixels(io)) {
    if (d.dibBytes == nullptr || d.dibWidth < 1 || d.dibWidth > 65535) return JPEG_ERR_PROPERTIES;
    if (d.dibHeight < -65535 || d.dibHeight > 65535) return JPEG_ERR_PROPERTIES;
    if ((io == 20 || io == 21) && d.dibColor != COLOR_RGB && d.dibColor != COLOR_BGR) return JPEG_ERR_THUMB_COLOR;
    if (d.dibPadBytes < 0 || d.dibChannels < 1 || d.dibChannels > 255) return JPEG_ERR_PROPERTIES;
    if (d.dibSubsampling != 0 && !(d.dibSubsampling == 2 && d.dibColor == COLOR_YCBCR)) return JPEG_ERR_SUBSAMPLING;
  }
  if (io % 2 == 0) {
    if (p.jpgFile == nullptr) return JPEG_ERR_PROPERTIES;
  } else if (d.jpgBytes == nullptr || d.jpgSizeBytes == 0) {
    return JPEG_ERR_PROPERTIES;
  }
  if (p.jpgChannels < 1 || p.jpgChannels > 256) return JPEG_ERR_PROPERTIES;
  if (!ColorPairAccepted(p.jpgColor, p.jpgChannels, d.dibColor, d.dibChannels)) return JPEG_ERR_PROPERTIES;
  if (p.state.method != 0 && p.state.method != 1) return JPEG_ERR_PROPERTIES;
  return JPEG_SUCCESS;
}

int LoadFile(JPEG_PROPERTIES& p) {
  JpegDecoderState& st = p.state;
  if (st.fileHandle < 0) {
    st.fileHandle = ::open(p.jpgFile, O_RDONLY | O_CLOEXEC);
    if (st.fileHandle < 0) return JPEG_ERR_FILE_NAME;
  }
  if (::lseek(st.fileHandle, 0, SEEK_SET) != 0) return JPEG_ERR_FILE;
  struct stat info {};
  if (::fstat(st.fileHandle, &info) != 0 || !S_ISREG(info.st_mode)) return JPEG_ERR_FILE;
  std::vector<uint8_t>& buf = st.work->fileData;
  try {
    buf.resize(static_cast<size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    return JPEG_ERR_MEMORY;
  }
  size_t got = 0;
  while (got < buf.size()) {
    ssize_t n = ::read(st.fileHandle, buf.data() + got, buf.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a file that shrank is read as far as it goes
    got += static_cast<size_t>(n);
  }
  buf.resize(got);
  return JPEG_SUCCESS;
}

}  // namespace

int jpegInit(JPEG_PROPERTIES* props) {
  if (props == nullptr) return JPEG_ERR_PROPERTIES;
  JPEG_PROPERTIES& p = *props;
  jpegFree(props);
  p.useLowLevelProperties = 0;
  p.dibBytes = nullptr;
  p.dibWidth = 0;
  p.dibHeight = 0;
  p.dibPadBytes = 0;
  p.dibChannels = 3;
  p.dibColor = COLOR_BGR;
  p.dibSubsampling = 0;
  p.jpgFile = nullptr;
  p.jpgBytes = nullptr;
  p.jpgSizeBytes = 0;
  p.jpgWidth = 0;
  p.jpgHeight = 0;
  p.jpgChannels = 3;
  p.jpgColor = COLOR_YCBCR;
  p.jpgSubsampling = 1;
  p.jpgThumbWidth = 0;
  p.jpgThumbHeight = 0;
  p.colorConversionRequired = 1;
  p.upsamplingRequired = 1;
  p.quality = 75;

  JpegDecoderState& st = p.state;
  st.ioType = -1;
  st.dibBytes = nullptr;
  st.dibWidth = 0;
  st.dibHeight = 0;
  st.dibPadBytes = 0;
  st.dibChannels = 3;
  st.dibColor = COLOR_BGR;
  st.dibSubsampling = 0;
  st.dibStride = 0;
  st.jpgBytes = nullptr;
  st.jpgSizeBytes = 0;
  st.jpgWidth = 0;
  st.method = 1;
  st.anyFrameHeaderAcceptable = 0;
  st.jfifFound = st.jfifVersion = st.jfifDensityUnits = st.jfifXDensity = st.jfifYDensity = 0;
  st.adobeFound = st.adobeVersion = st.adobeFlags0 = st.adobeFlags1 = st.adobeTransform = 0;
  st.commentBuffer = nullptr;
  st.commentBufferSize = 0;
  st.commentLength = 0;
  st.work.reset(new (std::nothrow) JpegWork);
  return st.work ? JPEG_SUCCESS : JPEG_ERR_MEMORY;
}

int jpegRead(JPEG_PROPERTIES* props, int ioType) {
  if (props == nullptr || !props->state.work) return JPEG_ERR_PROPERTIES;
  JPEG_PROPERTIES& p = *props;
  JpegDecoderState& st = p.state;
  st.ioType = ioType;
  if (ioType < 0 || ioType > IO_TYPE_LAST) return JPEG_ERR_PROPERTIES;
  if (ioType >= WRITE_FIRST && ioType <= WRITE_LAST) return JPEG_ERR_NOT_SUPPORTED;

  // With low-level properties the caller filled the state; it is checked
  // all the same, since the decoder writes through it.
  Description d{};
  if (p.useLowLevelProperties) {
    d = {st.dibBytes, st.dibWidth, st.dibHeight, st.dibPadBytes, st.dibChannels, st.dibColor, st.dibSubsampling,
         st.jpgBytes, st.jpgSizeBytes};
  } else {
    d = {p.dibBytes, p.dibWidth, p.dibHeight, p.dibPadBytes, p.dibChannels, p.dibColor, p.dibSubsampling,
         p.jpgBytes, p.jpgSizeBytes};
  }
  int rc = Validate(p, d, ioType);
  if (rc != JPEG_SUCCESS) return rc;
  if (!p.useLowLevelProperties) {
    st.dibBytes = p.dibBytes;
    st.dibWidth = p.dibWidth;
    st.dibHeight = p.dibHeight;
    st.dibPadBytes = p.dibPadBytes;
    st.dibChannels = p.dibChannels;
    st.dibColor = p.dibColor;
    st.dibSubsampling = p.dibSubsampling;
    st.jpgBytes = p.jpgBytes;
    st.jpgSizeBytes = p.jpgSizeBytes;
    st.jpgWidth = p.jpgWidth;
  }
  ptrdiff_t stride = static_cast<ptrdiff_t>(st.dibWidth) * st.dibChannels + st.dibPadBytes;
  st.dibStride = st.dibHeight < 0 ? -stride : stride;

  const bool supported = ioType <= READ_IMAGE_BUFFER;
  if (!supported) return JPEG_ERR_NOT_SUPPORTED;

  const uint8_t* data = st.jpgBytes;
  size_t size = st.jpgSizeBytes;
  if (ioType % 2 == 0) {
    rc = LoadFile(p);
    if (rc != JPEG_SUCCESS) return rc;
    data = st.work->fileData.data();
    size = st.work->fileData.size();
  }
  return jpeg::ReadStream(p, data, size);
}

int jpegFree(JPEG_PROPERTIES* props) {
  if (props == nullptr) return JPEG_ERR_PROPERTIES;
  JpegDecoderState& st = props->state;
  int rc = JPEG_SUCCESS;
  if (st.fileHandle >= 0) {
    if (::close(st.fileHandle) != 0) rc = JPEG_ERR_CLOSE_FILE;
    st.fileHandle = -1;
  }
  st.work.reset();
  st.ioType = -1;
  return rc;
}

const char* jpegErrorString(int code) {
  switch (code) {
    case 2: return "ROI Success";
    case 1: return "Interrupt Success";
    case 0: return "Success";
    case -1: return "Exception detected";
    case -2: return "Invalid Encoder";
    case -3: return "Unsupported subsampling";
    case -4: return "Unsupported bytes per pixel";
    case -5: return "Memory error";
    case -6: return "Bad Huffman table";
    case -7: return "Bad Quantization table";
    case -8: return "Invalid JPEG_PROPERTIES";
    case -9: return "Error close file";
    case -10: return "Invalid file name";
    case -11: return "Error EOF";
    case -12: return "Not supported";
    case -13: return "Not JPEG";
    case -14: return "Error COMP";
    case -15: return "Error SOF";
    case -16: return "Error DNL";
    case -17: return "No Huffman table";
    case -18: return "No Quantization table";
    case -19: return "No frame";
    case -20: return "Multiply frame";
    case -21: return "Data error";
    case -22: return "No image";
    case -23: return "File error";
    case -24: return "Internal error";
    case -25: return "Bad RST marker";
    case -26: return "Thumbnail too small";
    case -27: return "Thumbnail has wrong color";
    case -28: return "Output buffer too small";
    case -29: return "Unsupported frame was found";
    case -30: return "Error access to jpeg_comment buffer";
    case -99: return "Reserved";
    default: return "Unknown error code";
  }
}
