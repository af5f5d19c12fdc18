#include "textures/MipmapChain.h"

#include <cstddef>
#include <cstdint>

namespace stagwerk {

namespace {

// Grey, grey and alpha, BGR or BGRA to RGBA.
std::vector<unsigned char> ExpandToRgba(const std::vector<unsigned char>& in, int channels, std::size_t count) {
  std::vector<unsigned char> rgba(count * 4);
  unsigned char* out = rgba.data();
  const unsigned char* p = in.data();
  for (std::size_t i = 0; i < count; ++i, out += 4, p += channels) {
    switch (channels) {
      case 1: out[0] = out[1] = out[2] = p[0]; out[3] = 255; break;
      case 2: out[0] = out[1] = out[2] = p[0]; out[3] = p[1]; break;
      case 3: out[0] = p[2]; out[1] = p[1]; out[2] = p[0]; out[3] = 255; break;
      default: out[0] = p[2]; out[1] = p[1]; out[2] = p[0]; out[3] = p[3]; break;
    }
  }
  return rgba;
}

// Halves each side that is longer than 1. Squares of four round to nearest;
// once a side is 1, pairs along the other truncate, as GLU does.
MipLevel Halve(const MipLevel& above, std::size_t channels) {
  MipLevel level;
  level.width = above.width > 1 ? above.width / 2 : 1;
  level.height = above.height > 1 ? above.height / 2 : 1;
  level.pixels.resize(channels * static_cast<std::size_t>(level.width) * static_cast<std::size_t>(level.height));
  const std::size_t row = channels * static_cast<std::size_t>(above.width);
  const std::size_t dx = above.width > 1 ? channels : 0;
  const std::size_t dy = above.height > 1 ? row : 0;
  unsigned char* out = level.pixels.data();
  for (int y = 0; y < level.height; ++y) {
    const unsigned char* in = above.pixels.data() + (dy != 0 ? 2 * static_cast<std::size_t>(y) * row : 0);
    if (dx != 0 && dy != 0) {
      for (int x = 0; x < level.width; ++x, in += 2 * channels) {
        for (std::size_t c = 0; c < channels; ++c) {
          *out++ = static_cast<unsigned char>((in[c] + in[c + dx] + in[c + dy] + in[c + dx + dy] + 2) / 4);
        }
      }
      continue;
    }
    const std::size_t step = dx + dy;
    for (int x = 0; x < level.width; ++x, in += channels + dx) {
      for (std::size_t c = 0; c < channels; ++c) *out++ = static_cast<unsigned char>((in[c] + in[c + step]) / 2);
    }
  }
  return level;
}

std::vector<MipLevel> Chain(const Image& image, std::vector<unsigned char> bytes, MipLayout layout) {
  MipLevel top;
  top.width = image.width;
  top.height = image.height;
  std::size_t channels = image.channels;
  if (layout == MipLayout::Rgba) {
    top.pixels = ExpandToRgba(bytes, image.channels, std::size_t{image.width} * image.height);
    channels = 4;
  } else {
    top.pixels = std::move(bytes);
  }
  std::vector<MipLevel> levels;
  levels.push_back(std::move(top));
  while (levels.back().width > 1 || levels.back().height > 1) {
    MipLevel next = Halve(levels.back(), channels);
    levels.push_back(std::move(next));
  }
  return levels;
}

}  // namespace

void PrepareMipmaps(Image& image, MipLayout layout) {
  if (image.channels < 1 || image.channels > 4) return;
  image.levels = Chain(image, std::move(image.pixels), layout);
  image.pixels = {};
}

std::vector<MipLevel> MipmapsOf(const Image& image, MipLayout layout) {
  if (image.channels < 1 || image.channels > 4) return {};
  return Chain(image, image.pixels, layout);
}

const std::vector<MipLevel>& LevelsToUpload(const Image& image, MipLayout layout, std::vector<MipLevel>& made) {
  if (!image.levels.empty()) return image.levels;
  made = MipmapsOf(image, layout);
  return made;
}

}  // namespace stagwerk
