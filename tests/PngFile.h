#pragma once
// Reading a PNG back for a test: RGB rows, top row first.
#include <png.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace stagwerk::testing {

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  std::array<int, 3> At(int x, int y) const {
    const unsigned char* p = &rgb[3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                       static_cast<std::size_t>(x))];
    return {p[0], p[1], p[2]};
  }
};

// Empty (width 0) when the file cannot be read.
inline Picture ReadPng(const std::string& path) {
  Picture picture;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) return {};
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  return picture;
}

}  // namespace stagwerk::testing
