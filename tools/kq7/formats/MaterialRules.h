#pragma once
// How a material's glow and colour space come out in the player, which
// lights every corner alike and has no emission: shared by the mesh
// conversion (corner colours) and the scene conversion (unlit objects).
#include <algorithm>
#include <array>
#include <cmath>

namespace stagwerk::kq7 {

// An emissive colour whose brightest channel reaches this makes the
// surface glow: its object is drawn unlit in its glow colour.
constexpr float kLuminousAt = 0.5f;

inline bool Luminous(const std::array<float, 3>& emissive) {
  return std::max({emissive[0], emissive[1], emissive[2]}) >= kLuminousAt;
}

// glTF's colours are linear; the player mixes what it shows, so a colour
// goes through the sRGB curve once, as a viewer's output does.
inline float EncodeSrgb(float linear) {
  const float x = std::clamp(linear, 0.0f, 1.0f);
  if (x >= 1) return 1;  // exactly, so white stays white
  return x <= 0.0031308f ? 12.92f * x : std::min(1.0f, 1.055f * std::pow(x, 1 / 2.4f) - 0.055f);
}

// A light's linear strength as the player's intensity, for the same
// brightness on screen: the sRGB curve's power law, which keeps products
// (light times colour) as they multiply.
inline float EncodeIntensity(double linear) {
  return linear <= 0 ? 0.0f : static_cast<float>(std::pow(linear, 1 / 2.2));
}

}  // namespace stagwerk::kq7
