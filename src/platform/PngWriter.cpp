#include "platform/PngWriter.h"

#include <png.h>

#include <cstring>

#include "base/LoadError.h"

namespace stagwerk {

void WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  if (rgb.size() != std::size_t(3) * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    throw LoadError("Cannot write " + path + ": picture size does not match its pixels");
  }
  if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
    const std::string reason = image.message;
    png_image_free(&image);
    throw LoadError("Cannot write " + path + ": " + reason);
  }
}

}  // namespace stagwerk
