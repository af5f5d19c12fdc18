#include "textures/MipmapChain.h"

#include "anim/LoadError.h"

namespace stagwerk {

namespace {

MipLevel ExpandToRgba(const Image& image) {
  MipLevel level;
  level.width = image.width;
  level.height = image.height;
  const std::size_t count = std::size_t{image.width} * image.height;
  level.rgba.resize(count * 4);
  const uint8_t* in = image.pixels.data();
  uint8_t* out = level.rgba.data();
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    switch (image.channels) {
      case 1: out[0] = out[1] = out[2] = in[i]; out[3] = 255; break;
      case 2: out[0] = out[1] = out[2] = in[2 * i]; out[3] = in[2 * i + 1]; break;
      case 3: out[0] = in[3 * i + 2]; out[1] = in[3 * i + 1]; out[2] = in[3 * i]; out[3] = 255; break;
      default: out[0] = in[4 * i + 2]; out[1] = in[4 * i + 1]; out[2] = in[4 * i]; out[3] = in[4 * i + 3]; break;
    }
  }
  return level;
}

// Halves each side that is longer than 1. Squares of four round to nearest;
// once a side is 1, pairs along the other truncate, as GLU does.
MipLevel Halve(const MipLevel& above) {
  MipLevel level;
  level.width = above.width > 1 ? above.width / 2 : 1;
  level.height = above.height > 1 ? above.height / 2 : 1;
  level.rgba.resize(std::size_t{4} * static_cast<std::size_t>(level.width) * static_cast<std::size_t>(level.height));
  const std::size_t row = std::size_t{4} * static_cast<std::size_t>(above.width);
  const std::size_t dx = above.width > 1 ? 4 : 0;
  const std::size_t dy = above.height > 1 ? row : 0;
  const bool both = dx != 0 && dy != 0;
  uint8_t* out = level.rgba.data();
  for (int y = 0; y < level.height; ++y) {
    const uint8_t* in = above.rgba.data() + (dy != 0 ? 2 * static_cast<std::size_t>(y) * row : 0);
    for (int x = 0; x < level.width; ++x, in += 4 + dx, out += 4) {
      for (int c = 0; c < 4; ++c) {
        if (both) {
          out[c] = static_cast<uint8_t>((in[c] + in[c + dx] + in[c + dy] + in[c + dx + dy] + 2) / 4);
        } else {
          const std::size_t step = dx + dy;
          out[c] = static_cast<uint8_t>((in[c] + in[c + step]) / 2);
        }
      }
    }
  }
  return level;
}

}  // namespace

std::vector<MipLevel> BuildRgbaMipmaps(const Image& image) {
  if (image.channels < 1 || image.channels > 4) throw LoadError("Unrecognized Image");
  std::vector<MipLevel> levels;
  levels.push_back(ExpandToRgba(image));
  while (levels.back().width > 1 || levels.back().height > 1) levels.push_back(Halve(levels.back()));
  return levels;
}

}  // namespace stagwerk
