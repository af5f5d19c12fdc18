#pragma once
// A picture made fit for the player: power-of-two sides, opacity as the
// material means it, and the bytes of the files it is written as.
#include <string>

#include "kq7/formats/pictures/Picture.h"

namespace stagwerk::kq7 {

// What a picture's alpha channel means (glTF's alphaMode; Keep for every
// other source, whose alpha is plain opacity).
enum class AlphaUse { Keep, Ignore, Mask };

struct PictureOptions {
  AlphaUse alpha = AlphaUse::Keep;
  float cutoff = 0.5f;  // Mask: alpha at or above it is opaque, below it transparent
};

constexpr int kMaxTextureSide = 2048;
constexpr int kColourQuality = 90;
constexpr int kOpacityQuality = 95;  // edges of cut-outs stay sharp

// The side the player gets for a side of n pixels: the power of two nearest
// to n in log2 (so 300 -> 256, 400 -> 512), from 1 to 2048.
int TextureSide(int n);

struct FittedPicture {
  Picture picture;
  bool opacity = false;  // false: alpha is 255 everywhere and no opacity file is written
};

// Resized to TextureSide of each side (Mitchell where it shrinks, Catmull-Rom
// where it grows, in sRGB with colours weighted by alpha), then alpha as
// options say; an alpha of 255 everywhere is no opacity.
FittedPicture FitPicture(const Picture& in, const PictureOptions& options);

// Baseline JPEG bytes of the colour, or (opacity) of the alpha as grey.
std::string EncodeJpeg(const Picture& picture, bool opacity, int quality);

// Uncompressed TGA, type 2: 32 bits (BGRA) with opacity, else 24 (BGR);
// rows bottom-up, the first stored row the picture's bottom one.
std::string EncodeTga(const Picture& picture, bool opacity);

}  // namespace stagwerk::kq7
