// Pictures from the fuzzer's bytes, as kq7 reads them (IFF here, the rest
// through stb), then fitted and written as the player gets them: a picture
// is exactly width x height x 4 bytes or an InputError, and what is written
// reads back at the fitted size.
#include <stb_image.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/pictures/Picture.h"
#include "kq7/formats/pictures/PictureFitting.h"

namespace {

void CheckWritten(const std::string& bytes, int width, int height) {
  int w = 0, h = 0, n = 0;
  unsigned char* back = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<int>(bytes.size()), &w, &h, &n, 0);
  if (back == nullptr || w != width || h != height) std::abort();
  stbi_image_free(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace stagwerk::kq7;
  if (size < 1) return 0;
  // Headers may claim up to 2^26 pixels, which reads slowly under ASan; the
  // claim itself is checked before reading, so smaller ones cover the rest.
  int w = 0, h = 0, n = 0;
  if (size > 1 && stbi_info_from_memory(data + 1, static_cast<int>(size - 1), &w, &h, &n) &&
      static_cast<long long>(w) * h > (1 << 20)) {
    return 0;
  }
  try {
    const Picture picture = ReadPicture(data + 1, size - 1, "fuzz");
    if (picture.rgba.size() != std::size_t(picture.width) * picture.height * 4) std::abort();
    if (std::size_t(picture.width) * picture.height > 128 * 128) return 0;  // fitting big ones only costs time
    PictureOptions options;
    options.alpha = static_cast<AlphaUse>(data[0] % 3);
    options.cutoff = (data[0] >> 2) / 63.0f;
    const FittedPicture fitted = FitPicture(picture, options);
    const int w = fitted.picture.width, h = fitted.picture.height;
    if (w != TextureSide(picture.width) || h != TextureSide(picture.height)) std::abort();
    CheckWritten(EncodeJpeg(fitted.picture, false, kColourQuality), w, h);
    CheckWritten(EncodeJpeg(fitted.picture, true, kOpacityQuality), w, h);
    CheckWritten(EncodeTga(fitted.picture, fitted.opacity), w, h);
  } catch (const InputError&) {
  }
  return 0;
}
