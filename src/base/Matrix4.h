#pragma once
// Column-major 4x4 float matrices that compose exactly as the fixed-function
// modelview stack does: every operation right-multiplies, in single precision,
// with the same rotation formula, so the GL layer can load them as they are.
#include <array>

namespace stagwerk {

struct Matrix4 {
  std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  static Matrix4 Identity() { return {}; }
  float& operator[](int i) { return m[static_cast<std::size_t>(i)]; }
  float operator[](int i) const { return m[static_cast<std::size_t>(i)]; }
  bool operator==(const Matrix4&) const = default;

  // this = this * other
  void Multiply(const Matrix4& other);
  void Translate(float x, float y, float z);
  void Scale(float x, float y, float z);
  // Angle in degrees about the axis (x, y, z), normalised as GL does.
  void Rotate(float degrees, float x, float y, float z);
};

}  // namespace stagwerk
