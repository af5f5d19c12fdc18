#pragma once
// A texture's mipmap levels as RGBA bytes, made on the CPU for back ends
// that have neither GLU nor luminance formats. Each level halves the one
// above by a 2x2 box with rounding, as GLU builds them for the fixed-function
// back end, so both back ends sample the same texels.
#include <cstdint>
#include <vector>

#include "textures/Image.h"

namespace stagwerk {

struct MipLevel {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // rows bottom first, as the image's
};

// Channels: grey, grey and alpha, BGR or BGRA as the image holds them.
// Down to 1x1. Throws LoadError "Unrecognized Image" for other counts.
std::vector<MipLevel> BuildRgbaMipmaps(const Image& image);

}  // namespace stagwerk
