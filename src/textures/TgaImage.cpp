// TGA pictures: uncompressed and run-length encoded, true-colour (24 and 32
// bits) and grey (8 bits, or 16 with opacity). Rows come out bottom-up and
// left to right whatever the file's origin, as the texture upload expects.
#include <algorithm>
#include <cstring>

#include "base/LoadError.h"
#include "base/WholeFile.h"
#include "textures/Image.h"

namespace stagwerk {

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;

uint16_t U16At(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

[[noreturn]] void Unsupported(const std::string& path, const std::string& what) {
  throw LoadError("Unsupported TGA file " + path + ": " + what);
}
[[noreturn]] void Bad(const std::string& path, const std::string& what) {
  throw LoadError("Bad TGA file " + path + ": " + what);
}

// Expands run-length packets into out; a packet running past the last pixel
// is cut there.
void Unpack(const unsigned char* p, const unsigned char* end, std::vector<unsigned char>& out, std::size_t channels,
            const std::string& path) {
  unsigned char* dst = out.data();
  unsigned char* const dstEnd = dst + out.size();
  while (dst < dstEnd) {
    if (p >= end) Bad(path, "the run-length data ends before the last pixel");
    const unsigned char header = *p++;
    const std::size_t count = (header & 0x7F) + 1u;
    const std::size_t bytes = std::min(count * channels, static_cast<std::size_t>(dstEnd - dst));
    if (header & 0x80) {
      if (static_cast<std::size_t>(end - p) < channels) Bad(path, "the run-length data ends before the last pixel");
      for (std::size_t i = 0; i < bytes; i += channels) std::memcpy(dst + i, p, channels);
      p += channels;
    } else {
      if (static_cast<std::size_t>(end - p) < count * channels) {
        Bad(path, "the run-length data ends before the last pixel");
      }
      std::memcpy(dst, p, bytes);
      p += count * channels;
    }
    dst += bytes;
  }
}

}  // namespace

Image Image::ReadTga(const unsigned char* data, std::size_t size, const std::string& path) {
  if (size < kHeaderSize) Bad(path, "shorter than its 18-byte header");
  const uint8_t idLength = data[0];
  const uint8_t colourMapType = data[1];
  const uint8_t type = data[2];
  const uint16_t mapLength = U16At(data + 5);
  const uint8_t mapEntryBits = data[7];
  const uint16_t width = U16At(data + 12);
  const uint16_t height = U16At(data + 14);
  const uint8_t bits = data[16];
  const uint8_t descriptor = data[17];

  const bool grey = type == 3 || type == 11;
  const bool runLength = type == 10 || type == 11;
  if (type == 1 || type == 9) Unsupported(path, "colour-mapped pictures are not read");
  if (type != 2 && type != 3 && !runLength) {
    Unsupported(path, "image type " + std::to_string(type) +
                          " (true-colour or grey, uncompressed or run-length encoded, are read)");
  }
  if (grey ? bits != 8 && bits != 16 : bits != 24 && bits != 32) {
    Unsupported(path, std::to_string(bits) + " bits per pixel in a " + (grey ? "grey" : "true-colour") +
                          " picture (" + (grey ? "8 or 16" : "24 or 32") + " are read)");
  }
  RequireTextureSize(width, height);

  Image image;
  image.width = width;
  image.height = height;
  image.channels = static_cast<uint8_t>(bits / 8);
  const std::size_t channels = image.channels;
  const std::size_t rowBytes = std::size_t{width} * channels;
  const std::size_t total = rowBytes * height;

  // Skip the identification field and a colour map, should a true-colour file carry one.
  std::size_t offset = kHeaderSize + idLength;
  if (colourMapType == 1) offset += std::size_t{mapLength} * ((mapEntryBits + 7u) / 8u);
  if (offset > size) Bad(path, "the file ends inside its header fields");
  const unsigned char* p = data + offset;
  const unsigned char* end = data + size;

  // The data must be able to fill the picture before the picture is set
  // aside: a short file claiming 2048 x 2048 costs nothing. A run-length
  // packet of 1 + channels bytes gives at most 128 pixels.
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (runLength) {
    if (left / (1 + channels) * 128 < std::size_t{width} * height) {
      Bad(path, "the run-length data ends before the last pixel");
    }
  } else if (left < total) {
    Bad(path, "the pixel data ends early (" + std::to_string(total) + " bytes needed, " + std::to_string(left) +
                  " left)");
  }
  image.pixels.resize(total);
  if (runLength) {
    Unpack(p, end, image.pixels, channels, path);
  } else if (total > 0) {
    std::memcpy(image.pixels.data(), p, total);
  }

  if (descriptor & kTopToBottom) {
    for (std::size_t top = 0, bottom = height ? height - 1u : 0; top < bottom; ++top, --bottom) {
      std::swap_ranges(image.pixels.begin() + top * rowBytes, image.pixels.begin() + (top + 1) * rowBytes,
                       image.pixels.begin() + bottom * rowBytes);
    }
  }
  if (descriptor & kRightToLeft) {
    for (std::size_t row = 0; row < height; ++row) {
      unsigned char* r = image.pixels.data() + row * rowBytes;
      for (std::size_t left = 0, right = width ? width - 1u : 0; left < right; ++left, --right) {
        std::swap_ranges(r + left * channels, r + (left + 1) * channels, r + right * channels);
      }
    }
  }
  return image;
}

Image Image::LoadTga(const std::string& path) {
  WholeFile file = MapWholeFile(path);
  const SceneReader& reader = file.reader();
  return ReadTga(reader.base(), reader.size(), path);
}

}  // namespace stagwerk
