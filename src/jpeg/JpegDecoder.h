#pragma once
// The JPEG decoder's property-block interface: the caller owns one
// JPEG_PROPERTIES, initialises it with jpegInit, says where the compressed
// data comes from and where the pixels go, calls jpegRead with an I/O type and
// releases it with jpegFree. Every operation answers a signed error code.

#include <cstddef>
#include <cstdint>
#include <memory>

// Colour codes of dibColor and jpgColor.
enum : int32_t {
  COLOR_RGB = 1,
  COLOR_BGR = 2,
  COLOR_YCBCR = 3,
  COLOR_GRAY = 4,
  COLOR_RGBA_FPX = 5,
  COLOR_YCBCRA_FPX = 6,
  COLOR_OTHER = 255,
};

// I/O types: even values read the file named by jpgFile, odd values the
// memory buffer jpgBytes. 8-13 are writing types, which are refused.
enum : int32_t {
  READ_PARAMS_FILE = 0,
  READ_PARAMS_BUFFER = 1,
  READ_IMAGE_FILE = 2,
  READ_IMAGE_BUFFER = 3,
  READ_TABLES_FILE = 4,
  READ_TABLES_BUFFER = 5,
  READ_ENTROPY_FILE = 6,
  READ_ENTROPY_BUFFER = 7,
  WRITE_FIRST = 8,
  WRITE_LAST = 13,
  READ_IMAGE_HALF_FILE = 14,
  READ_IMAGE_HALF_BUFFER = 15,
  READ_IMAGE_QUARTER_FILE = 16,
  READ_IMAGE_QUARTER_BUFFER = 17,
  READ_IMAGE_EIGHTH_FILE = 18,
  READ_IMAGE_EIGHTH_BUFFER = 19,
  READ_THUMBNAIL_FILE = 20,
  READ_THUMBNAIL_BUFFER = 21,
  IO_TYPE_LAST = 21,
};

// Error codes; jpegErrorString gives their texts.
enum : int {
  JPEG_ROI_SUCCESS = 2,
  JPEG_INTERRUPT_SUCCESS = 1,
  JPEG_SUCCESS = 0,
  JPEG_ERR_EXCEPTION = -1,
  JPEG_ERR_INVALID_ENCODER = -2,
  JPEG_ERR_SUBSAMPLING = -3,
  JPEG_ERR_BYTES_PER_PIXEL = -4,
  JPEG_ERR_MEMORY = -5,
  JPEG_ERR_BAD_HUFFMAN = -6,
  JPEG_ERR_BAD_QUANT = -7,
  JPEG_ERR_PROPERTIES = -8,
  JPEG_ERR_CLOSE_FILE = -9,
  JPEG_ERR_FILE_NAME = -10,
  JPEG_ERR_EOF = -11,
  JPEG_ERR_NOT_SUPPORTED = -12,
  JPEG_ERR_NOT_JPEG = -13,
  JPEG_ERR_COMP = -14,
  JPEG_ERR_SOF = -15,
  JPEG_ERR_DNL = -16,
  JPEG_ERR_NO_HUFFMAN = -17,
  JPEG_ERR_NO_QUANT = -18,
  JPEG_ERR_NO_FRAME = -19,
  JPEG_ERR_MULTI_FRAME = -20,
  JPEG_ERR_DATA = -21,
  JPEG_ERR_NO_IMAGE = -22,
  JPEG_ERR_FILE = -23,
  JPEG_ERR_INTERNAL = -24,
  JPEG_ERR_BAD_RST = -25,
  JPEG_ERR_THUMB_SIZE = -26,
  JPEG_ERR_THUMB_COLOR = -27,
  JPEG_ERR_BUFFER_TOO_SMALL = -28,
  JPEG_ERR_UNSUPPORTED_FRAME = -29,
  JPEG_ERR_COMMENT_BUFFER = -30,
  JPEG_ERR_RESERVED = -99,
};

struct JpegWork;  // tables, frame and buffers; private to the decoder

// Deletes the private work area; defined where JpegWork is complete.
struct JpegWorkDeleter {
  void operator()(JpegWork* work) const;
};

// The decoder state embedded in the property block. The first field is the
// current I/O type; the rest are copies of the caller's description plus what
// the stream told us. Tables and the frame live in the private work area.
struct JpegDecoderState {
  int32_t ioType = -1;

  // Output description, copied from the caller's fields by jpegRead.
  uint8_t* dibBytes = nullptr;
  uint32_t dibWidth = 0;
  int32_t dibHeight = 0;
  int32_t dibPadBytes = 0;
  int32_t dibChannels = 3;
  int32_t dibColor = COLOR_BGR;
  int32_t dibSubsampling = 0;
  ptrdiff_t dibStride = 0;  // signed: negative writes bottom-up

  // Input description.
  const uint8_t* jpgBytes = nullptr;
  uint32_t jpgSizeBytes = 0;
  uint32_t jpgWidth = 0;
  int fileHandle = -1;  // kept open from a parameter read to the image read

  int32_t method = 1;  // inverse-transform selector, 0 or 1
  int32_t anyFrameHeaderAcceptable = 0;

  // JFIF and Adobe marker information.
  int32_t jfifFound = 0;
  int32_t jfifVersion = 0;
  int32_t jfifDensityUnits = 0;
  int32_t jfifXDensity = 0;
  int32_t jfifYDensity = 0;
  int32_t adobeFound = 0;
  int32_t adobeVersion = 0;
  int32_t adobeFlags0 = 0;
  int32_t adobeFlags1 = 0;
  int32_t adobeTransform = 0;

  // Comment buffer given by the caller (optional); commentLength is filled.
  char* commentBuffer = nullptr;
  uint32_t commentBufferSize = 0;
  uint32_t commentLength = 0;

  std::unique_ptr<JpegWork, JpegWorkDeleter> work;

  JpegDecoderState() = default;
  JpegDecoderState(const JpegDecoderState&) = delete;
  JpegDecoderState& operator=(const JpegDecoderState&) = delete;
  ~JpegDecoderState();
};

struct JPEG_PROPERTIES {
  int32_t useLowLevelProperties = 0;
  uint8_t* dibBytes = nullptr;
  uint32_t dibWidth = 0;
  int32_t dibHeight = 0;
  int32_t dibPadBytes = 0;
  int32_t dibChannels = 3;
  int32_t dibColor = COLOR_BGR;
  int32_t dibSubsampling = 0;
  const char* jpgFile = nullptr;
  const uint8_t* jpgBytes = nullptr;
  uint32_t jpgSizeBytes = 0;
  uint32_t jpgWidth = 0;
  uint32_t jpgHeight = 0;
  int32_t jpgChannels = 3;
  int32_t jpgColor = COLOR_YCBCR;
  int32_t jpgSubsampling = 1;
  int32_t jpgThumbWidth = 0;
  int32_t jpgThumbHeight = 0;
  int32_t colorConversionRequired = 1;
  int32_t upsamplingRequired = 1;
  int32_t quality = 75;
  JpegDecoderState state;
};

int jpegInit(JPEG_PROPERTIES* props);
int jpegRead(JPEG_PROPERTIES* props, int ioType);
int jpegFree(JPEG_PROPERTIES* props);
const char* jpegErrorString(int code);
