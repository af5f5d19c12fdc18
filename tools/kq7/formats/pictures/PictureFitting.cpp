#include "kq7/formats/pictures/PictureFitting.h"

#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <cmath>
#include <vector>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/pictures/GreyJpeg.h"

namespace stagwerk::kq7 {

namespace {

bool AnyTranslucent(const Picture& p) {
  for (std::size_t i = 3; i < p.rgba.size(); i += 4) {
    if (p.rgba[i] != 255) return true;
  }
  return false;
}

stbir_filter FilterFor(int from, int to) { return to < from ? STBIR_FILTER_MITCHELL : STBIR_FILTER_CATMULLROM; }

Picture Resized(const Picture& in, int width, int height, bool alpha) {
  Picture out;
  out.width = width;
  out.height = height;
  out.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  const int ok = stbir_resize(in.rgba.data(), in.width, in.height, 0, out.rgba.data(), width, height, 0,
                              STBIR_TYPE_UINT8, 4, alpha ? 3 : STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                              STBIR_EDGE_CLAMP, FilterFor(in.width, width), FilterFor(in.height, height),
                              STBIR_COLORSPACE_SRGB, nullptr);
  if (!ok) throw InputError("a picture could not be resized (out of memory)");
  return out;
}

void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

int TextureSide(int n) {
  if (n <= 1) return 1;
  const int power = static_cast<int>(std::lround(std::log2(static_cast<double>(n))));
  return std::min(1 << std::min(power, 11), kMaxTextureSide);
}

FittedPicture FitPicture(const Picture& in, const PictureOptions& options) {
  FittedPicture fitted;
  Picture source = in;
  if (options.alpha == AlphaUse::Ignore) {
    for (std::size_t i = 3; i < source.rgba.size(); i += 4) source.rgba[i] = 255;
  }
  const bool alpha = AnyTranslucent(source);
  const int width = TextureSide(in.width), height = TextureSide(in.height);
  fitted.picture = width == in.width && height == in.height ? std::move(source)
                                                            : Resized(source, width, height, alpha);
  if (alpha && options.alpha == AlphaUse::Mask) {
    const float cut = options.cutoff * 255.0f;
    for (std::size_t i = 3; i < fitted.picture.rgba.size(); i += 4) {
      fitted.picture.rgba[i] = fitted.picture.rgba[i] >= cut ? 255 : 0;
    }
  }
  fitted.opacity = alpha && AnyTranslucent(fitted.picture);
  return fitted;
}

std::string EncodeJpeg(const Picture& picture, bool opacity, int quality) {
  const std::size_t pixels = static_cast<std::size_t>(picture.width) * picture.height;
  std::vector<unsigned char> samples(pixels * (opacity ? 1 : 3));
  for (std::size_t i = 0; i < pixels; ++i) {
    if (opacity) {
      samples[i] = picture.rgba[4 * i + 3];
    } else {
      for (int k = 0; k < 3; ++k) samples[3 * i + k] = picture.rgba[4 * i + k];
    }
  }
  if (opacity) return EncodeGreyJpeg(samples.data(), picture.width, picture.height, quality);
  std::string bytes;
  if (!stbi_write_jpg_to_func(Append, &bytes, picture.width, picture.height, 3, samples.data(), quality)) {
    throw InputError("a picture could not be encoded as JPEG");
  }
  return bytes;
}

std::string EncodeTga(const Picture& picture, bool opacity) {
  const int channels = opacity ? 4 : 3;
  std::string bytes(18, '\0');
  bytes[2] = 2;  // uncompressed true colour
  bytes[12] = static_cast<char>(picture.width & 0xFF);
  bytes[13] = static_cast<char>(picture.width >> 8);
  bytes[14] = static_cast<char>(picture.height & 0xFF);
  bytes[15] = static_cast<char>(picture.height >> 8);
  bytes[16] = static_cast<char>(8 * channels);
  bytes[17] = static_cast<char>(opacity ? 8 : 0);  // alpha bits; origin bottom left
  bytes.reserve(bytes.size() + static_cast<std::size_t>(picture.width) * picture.height * channels);
  for (int y = picture.height; y-- > 0;) {
    for (int x = 0; x < picture.width; ++x) {
      const unsigned char* p = picture.At(x, y);
      bytes += static_cast<char>(p[2]);
      bytes += static_cast<char>(p[1]);
      bytes += static_cast<char>(p[0]);
      if (opacity) bytes += static_cast<char>(p[3]);
    }
  }
  return bytes;
}

}  // namespace stagwerk::kq7
