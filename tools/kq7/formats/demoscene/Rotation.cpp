#include "kq7/formats/demoscene/Rotation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace stagwerk::kq7 {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Nearest(double angle, double previous) {
  return angle + 2 * kPi * std::round((previous - angle) / (2 * kPi));
}

}  // namespace

Quaternion Normalized(Quaternion q) {
  const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (n == 0) return {};
  return {q.x / n, q.y / n, q.z / n, q.w / n};
}

Quaternion Slerp(Quaternion a, Quaternion b, double u) {
  double d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
  if (d < 0) {
    b = {-b.x, -b.y, -b.z, -b.w};
    d = -d;
  }
  double wa = 1 - u, wb = u;
  if (d < 0.9999995) {
    const double angle = std::acos(d);
    wa = std::sin((1 - u) * angle) / std::sin(angle);
    wb = std::sin(u * angle) / std::sin(angle);
  }
  return Normalized({wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w});
}

Matrix3 RotationMatrix(const Quaternion& in) {
  const Quaternion q = Normalized(in);
  const double x = q.x, y = q.y, z = q.z, w = q.w;
  return {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
          2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
          2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
}

Matrix3 RotationMatrix(const Euler& e) {
  const double ch = std::cos(e.heading), sh = std::sin(e.heading);
  const double cp = std::cos(e.pitch), sp = std::sin(e.pitch);
  const double cb = std::cos(e.bank), sb = std::sin(e.bank);
  return {ch * cb + sh * sp * sb,  -ch * sb + sh * sp * cb, sh * cp,
          cp * sb,                 cp * cb,                 -sp,
          -sh * cb + ch * sp * sb, sh * sb + ch * sp * cb,  ch * cp};
}

double AngleBetween(const Matrix3& a, const Matrix3& b) {
  // trace(a^T b) = 1 + 2 cos(angle)
  double trace = 0;
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k) trace += a[static_cast<std::size_t>(k * 3 + i)] * b[static_cast<std::size_t>(k * 3 + i)];
  }
  return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / kPi;
}

Euler ToEuler(const Matrix3& r, const Euler* previous) {
  const double sp = std::clamp(-r[5], -1.0, 1.0);
  const double cp = std::hypot(r[3], r[4]);
  std::vector<Euler> candidates;
  if (cp > 1e-7) {
    const Euler e{std::atan2(r[2], r[8]), std::atan2(sp, cp), std::atan2(r[3], r[4])};
    candidates = {e, {e.heading + kPi, kPi - e.pitch, e.bank + kPi}};
  } else {
    // Straight up or down: only heading and bank together are known; keep the bank.
    const double bank = previous != nullptr ? previous->bank : 0.0;
    const double pitch = sp > 0 ? kPi / 2 : -kPi / 2;
    const double heading = sp > 0 ? bank + std::atan2(r[1], r[0]) : -bank + std::atan2(-r[1], r[0]);
    candidates = {{heading, pitch, bank}};
  }
  if (previous == nullptr) return candidates.front();
  Euler best;
  double bestDistance = INFINITY;
  for (Euler e : candidates) {
    e = {Nearest(e.heading, previous->heading), Nearest(e.pitch, previous->pitch), Nearest(e.bank, previous->bank)};
    const double d = std::abs(e.heading - previous->heading) + std::abs(e.pitch - previous->pitch) +
                     std::abs(e.bank - previous->bank);
    if (d < bestDistance) bestDistance = d, best = e;
  }
  return best;
}

std::array<Curve, 3> FitRotation(const std::function<Matrix3(double)>& rotation, std::vector<double> keyTimes,
                                 const std::vector<double>& checkTimes, double toleranceDegrees) {
  std::sort(keyTimes.begin(), keyTimes.end());
  keyTimes.erase(std::unique(keyTimes.begin(), keyTimes.end()), keyTimes.end());
  // Angles along every time in order, so each is unwrapped against its neighbour.
  std::set<double> all(keyTimes.begin(), keyTimes.end());
  for (double t : checkTimes) {
    if (!keyTimes.empty() && t > keyTimes.front() && t < keyTimes.back()) all.insert(t);
  }
  std::map<double, Euler> angles;
  const Euler* previous = nullptr;
  for (double t : all) {
    previous = &(angles[t] = ToEuler(rotation(t), previous));
  }
  std::set<double> keys(keyTimes.begin(), keyTimes.end());
  for (bool added = true; added;) {
    added = false;
    for (auto it = keys.begin(); it != keys.end() && std::next(it) != keys.end(); ++it) {
      const double t0 = *it, t1 = *std::next(it);
      const Euler& a = angles[t0];
      const Euler& b = angles[t1];
      double worst = toleranceDegrees, worstTime = 0;
      for (auto c = all.upper_bound(t0); c != all.end() && *c < t1; ++c) {
        const double u = (*c - t0) / (t1 - t0);
        const Euler e{a.heading + (b.heading - a.heading) * u, a.pitch + (b.pitch - a.pitch) * u,
                      a.bank + (b.bank - a.bank) * u};
        const double error = AngleBetween(RotationMatrix(e), rotation(*c));
        if (error > worst) worst = error, worstTime = *c;
      }
      if (worst > toleranceDegrees) {
        keys.insert(worstTime);
        added = true;
      }
    }
  }
  std::array<Curve, 3> curves;
  for (double t : keys) {
    const Euler& e = angles[t];
    const double values[3] = {e.heading, e.pitch, e.bank};
    for (int c = 0; c < 3; ++c) {
      curves[static_cast<std::size_t>(c)].keys.push_back(
          {static_cast<float>(values[c]), static_cast<float>(t), kShapeLinear, {}});
    }
  }
  return curves;
}

}  // namespace stagwerk::kq7
