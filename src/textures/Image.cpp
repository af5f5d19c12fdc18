#include "textures/Image.h"

#include "base/LoadError.h"
#include "textures/Texture.h"

namespace stagwerk {

bool IsPowerOfTwo(uint32_t n) { return n >= 1 && n <= 2048 && (n & (n - 1)) == 0; }

void RequireTextureSize(uint32_t width, uint32_t height) {
  if (!IsPowerOfTwo(height) || !IsPowerOfTwo(width)) throw LoadError("NOPTD texture detected");
}

bool IsJpegPath(const std::string& path) {
  // Only the second-to-last character counts, as in "jpg" or "JPG".
  if (path.size() < 2) return false;
  const char c = path[path.size() - 2];
  return c == 'p' || c == 'P';
}

std::string OpacityPath(const std::string& path) {
  return path.substr(0, path.size() >= 3 ? path.size() - 3 : 0) + "a.jpg";
}

Image Image::Load(const std::string& path) { return IsJpegPath(path) ? LoadJpeg(path) : LoadTga(path); }

}  // namespace stagwerk
