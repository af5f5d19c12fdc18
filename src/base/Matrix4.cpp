#include "base/Matrix4.h"

#include <cmath>

namespace stagwerk {

void Matrix4::Multiply(const Matrix4& other) {
  Matrix4 result;
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      result[col * 4 + row] = (*this)[row] * other[col * 4] + (*this)[4 + row] * other[col * 4 + 1] +
                              (*this)[8 + row] * other[col * 4 + 2] + (*this)[12 + row] * other[col * 4 + 3];
    }
  }
  *this = result;
}

void Matrix4::Translate(float x, float y, float z) {
  for (int row = 0; row < 4; ++row) {
    (*this)[12 + row] = (*this)[row] * x + (*this)[4 + row] * y + (*this)[8 + row] * z + (*this)[12 + row];
  }
}

void Matrix4::Scale(float x, float y, float z) {
  for (int row = 0; row < 4; ++row) {
    (*this)[row] *= x;
    (*this)[4 + row] *= y;
    (*this)[8 + row] *= z;
  }
}

void Matrix4::Rotate(float degrees, float x, float y, float z) {
  constexpr double kPi = 3.14159265358979323846;
  const float s = static_cast<float>(std::sin(degrees * kPi / 180.0));
  const float c = static_cast<float>(std::cos(degrees * kPi / 180.0));
  Matrix4 r;
  // Rotations about one axis are built directly, as GL builds them, so the
  // untouched diagonal entry stays exactly 1.
  if (x == 0.0f && y == 0.0f && z != 0.0f) {
    r[0] = c;
    r[5] = c;
    r[1] = z < 0.0f ? -s : s;
    r[4] = z < 0.0f ? s : -s;
  } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
    r[0] = c;
    r[10] = c;
    r[8] = y < 0.0f ? -s : s;
    r[2] = y < 0.0f ? s : -s;
  } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
    r[5] = c;
    r[10] = c;
    r[9] = x < 0.0f ? s : -s;
    r[6] = x < 0.0f ? -s : s;
  } else {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length <= 1.0e-4f) return;  // no axis: GL leaves the matrix alone
    x /= length;
    y /= length;
    z /= length;
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, yz = y * z, zx = z * x;
    const float xs = x * s, ys = y * s, zs = z * s;
    const float oneC = 1.0f - c;
    r[0] = (oneC * xx) + c;
    r[4] = (oneC * xy) - zs;
    r[8] = (oneC * zx) + ys;
    r[1] = (oneC * xy) + zs;
    r[5] = (oneC * yy) + c;
    r[9] = (oneC * yz) - xs;
    r[2] = (oneC * zx) - ys;
    r[6] = (oneC * yz) + xs;
    r[10] = (oneC * zz) + c;
  }
  Multiply(r);
}

}  // namespace stagwerk
