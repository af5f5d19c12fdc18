// TGA pictures from the fuzzer's bytes: decoded to exactly width x height x
// channels bytes, or refused with a LoadError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/LoadError.h"
#include "textures/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  try {
    const stagwerk::Image image = stagwerk::Image::ReadTga(data, size, "fuzz.tga");
    if (image.pixels.size() != std::size_t{image.width} * image.height * image.channels) std::abort();
    if (image.channels < 1 || image.channels > 4) std::abort();
  } catch (const stagwerk::LoadError&) {
  }
  return 0;
}
