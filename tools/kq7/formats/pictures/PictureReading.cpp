// Everything but IFF through stb_image, from memory.
#include <stb_image.h>

#include <climits>
#include <cstring>
#include <memory>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/pictures/IffPicture.h"
#include "kq7/formats/pictures/Picture.h"

namespace stagwerk::kq7 {

namespace {

bool Starts(const unsigned char* data, std::size_t size, const char* magic, std::size_t at = 0) {
  const std::size_t n = std::strlen(magic);
  return size >= at + n && std::memcmp(data + at, magic, n) == 0;
}

// TGA has no magic: a type byte and a pixel depth that make sense.
bool LooksLikeTga(const unsigned char* data, std::size_t size) {
  if (size < 18 || data[1] > 1) return false;
  const int type = data[2], bits = data[16];
  const bool typeKnown = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
  return typeKnown && (bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32);
}

}  // namespace

void RequirePictureSize(long long width, long long height, const std::string& name) {
  if (width <= 0 || height <= 0) {
    throw InputError(name + ": a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  }
  if (static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) > kMaxPicturePixels) {
    throw InputError(name + ": a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels is more than kq7 reads (" + std::to_string(kMaxPicturePixels) + " pixels)");
  }
}

std::string PictureFormatOf(const unsigned char* data, std::size_t size) {
  if (Starts(data, size, "\x89PNG")) return "PNG";
  if (Starts(data, size, "\xFF\xD8\xFF")) return "JPEG";
  if (Starts(data, size, "GIF8")) return "GIF";
  if (Starts(data, size, "BM")) return "BMP";
  if (Starts(data, size, "8BPS")) return "PSD";
  if (IsIffPicture(data, size)) return Starts(data, size, "PBM ", 8) ? "IFF PBM" : "IFF ILBM";
  if (LooksLikeTga(data, size)) return "TGA";
  return "";
}

Picture ReadPicture(const unsigned char* data, std::size_t size, const std::string& name) {
  const std::string format = PictureFormatOf(data, size);
  if (format.empty()) throw InputError(name + ": not a picture kq7 reads (PNG, JPEG, TGA, BMP, GIF, PSD, IFF)");
  if (format.rfind("IFF", 0) == 0) return ReadIffPicture(data, size, name);
  if (size > INT_MAX) throw InputError(name + ": a picture file of more than 2 GB");
  const int length = static_cast<int>(size);
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
    throw InputError(name + ": a " + format + " file that does not read: " + stbi_failure_reason());
  }
  RequirePictureSize(width, height, name);
  const std::unique_ptr<unsigned char, void (*)(void*)> pixels(
      stbi_load_from_memory(data, length, &width, &height, &channels, 4), stbi_image_free);
  if (!pixels) throw InputError(name + ": a " + format + " file that does not read: " + stbi_failure_reason());
  RequirePictureSize(width, height, name);
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgba.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(width) * height * 4);
  return picture;
}

}  // namespace stagwerk::kq7
