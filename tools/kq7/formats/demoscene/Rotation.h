#pragma once
// Rotations between quaternions and the player's heading, pitch and bank:
// R = Ry(heading) Rx(pitch) Rz(bank), angles in radians.
#include <array>
#include <functional>
#include <vector>

#include "kq7/formats/demoscene/DemoScene.h"

namespace stagwerk::kq7 {

struct Quaternion {
  double x = 0, y = 0, z = 0, w = 1;
};

using Matrix3 = std::array<double, 9>;  // row-major

struct Euler {
  double heading = 0, pitch = 0, bank = 0;
};

Quaternion Normalized(Quaternion q);
Quaternion Slerp(Quaternion a, Quaternion b, double u);
Matrix3 RotationMatrix(const Quaternion& q);
Matrix3 RotationMatrix(const Euler& e);
// The angle in degrees that turns a into b.
double AngleBetween(const Matrix3& a, const Matrix3& b);

// The angles of r; of its two sets of angles (and whole turns added to
// each), the one nearest previous, so curves through them do not jump.
Euler ToEuler(const Matrix3& r, const Euler* previous);

// Heading, pitch and bank curves of linear keys that follow rotation(t) at
// every check time within toleranceDegrees: a key at each of keyTimes, and
// more at check times wherever straight lines between angles stray.
std::array<Curve, 3> FitRotation(const std::function<Matrix3(double)>& rotation, std::vector<double> keyTimes,
                                 const std::vector<double>& checkTimes, double toleranceDegrees);

}  // namespace stagwerk::kq7
