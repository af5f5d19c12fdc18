#pragma once
// A picture as kq7 reads it from any file it knows: 8-bit RGBA, the top row
// first. Readers are bounded by the bytes they are given; anything that does
// not read is an InputError naming the source.
#include <cstddef>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;  // width x height x 4

  unsigned char* At(int x, int y) { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
  const unsigned char* At(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// No picture kq7 meets is this large; a header claiming more is refused
// before anything is set aside for it.
constexpr std::size_t kMaxPicturePixels = std::size_t{1} << 26;

// Throws InputError("name: ...") unless width x height is a picture kq7 takes.
void RequirePictureSize(long long width, long long height, const std::string& name);

// PNG, JPEG, TGA (plain or run-length), BMP, GIF (its first frame), PSD,
// and Amiga IFF (ILBM, PBM). name is the source, for messages.
Picture ReadPicture(const unsigned char* data, std::size_t size, const std::string& name);

// The picture's format by its first bytes ("PNG", "IFF ILBM", ...), or empty.
std::string PictureFormatOf(const unsigned char* data, std::size_t size);

}  // namespace stagwerk::kq7
