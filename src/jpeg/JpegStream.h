#pragma once
// Reading of a JPEG interchange stream held in memory.

#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>

namespace jpeg {

// Runs the marker loop for props.state.ioType over data[0, size) and, for
// an image read, decodes into the output the state describes.
int ReadStream(JPEG_PROPERTIES& props, const uint8_t* data, size_t size);

}  // namespace jpeg
