#pragma once
// A decoded picture, alive while a texture is made from it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace stagwerk {

// One mipmap level as a back end uploads it: rows packed, the bottom row
// first, the back end's channels.
struct MipLevel {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;
};

struct Image {
  uint8_t channels = 0;
  uint16_t height = 0;
  uint16_t width = 0;
  // width x height x channels bytes, rows packed, the bottom row first;
  // samples as in Texture::pixels.
  std::vector<unsigned char> pixels;
  // Filled by a renderer's PrepareTexture, off the GL thread: every level
  // from the full size down. The bytes then live here, not in pixels.
  std::vector<MipLevel> levels;

  // JPEG when the second-to-last character of path is 'p' or 'P', TGA
  // otherwise. The texture size rule ("NOPTD texture detected") is checked
  // as soon as a header is read, so that no header sizes a buffer beyond
  // what a texture may hold.
  static Image Load(const std::string& path);
  // JPEG through our decoder, with the opacity file beside it when present.
  static Image LoadJpeg(const std::string& path);
  static Image LoadTga(const std::string& path);
  // TGA from bytes in memory; path names the source in messages.
  static Image ReadTga(const unsigned char* data, std::size_t size, const std::string& path);
};

bool IsJpegPath(const std::string& path);
// x.jpg -> x.a.jpg: everything from the third-last character on becomes "a.jpg".
std::string OpacityPath(const std::string& path);
// Throws LoadError("NOPTD texture detected") unless both are powers of two up to 2048.
void RequireTextureSize(uint32_t width, uint32_t height);

}  // namespace stagwerk
