#pragma once
// One loaded texture, kept by the TextureCache for the whole run.
#include <cstdint>
#include <string>
#include <vector>

namespace stagwerk {

struct Texture {
  uint8_t channels = 0;  // bytes per pixel, 1 to 4
  uint16_t height = 0;
  uint16_t width = 0;
  uint32_t renderHandle = 0;  // the renderer's name for it; 0: none (a run without one)
  std::string path;           // the cache's key
  // Rows bottom-up, samples luminance; luminance, opacity; blue, green, red;
  // or blue, green, red, opacity. Empty when the cache does not keep pixels.
  std::vector<unsigned char> pixels;
};

// 1, 2, 4, ... 2048; every other value (0, 4096 and above included) is not.
bool IsPowerOfTwo(uint32_t n);

}  // namespace stagwerk
