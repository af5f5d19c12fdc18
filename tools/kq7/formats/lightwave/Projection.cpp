#include "kq7/formats/lightwave/Projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace stagwerk::kq7::lightwave {

namespace {

using Vec3d = std::array<double, 3>;

constexpr double kTwoPi = 2 * std::numbers::pi;

// The point in the texture's frame. The texture's axes are the object's
// turned by R = Ry(h) Rx(p) Rz(b) (GL's rotation matrices, as the player
// turns an item); a point's coordinates in them are R^T (p - centre).
Vec3d ToTexture(const ImageMap& map, const Vec3& point) {
  Vec3d q{double{point[0]} - map.centre[0], double{point[1]} - map.centre[1], double{point[2]} - map.centre[2]};
  const double h = map.rotation[0], p = map.rotation[1], b = map.rotation[2];
  if (h != 0) {  // Ry(h)^T
    const double c = std::cos(h), s = std::sin(h);
    q = {c * q[0] - s * q[2], q[1], s * q[0] + c * q[2]};
  }
  if (p != 0) {  // Rx(p)^T
    const double c = std::cos(p), s = std::sin(p);
    q = {q[0], c * q[1] + s * q[2], -s * q[1] + c * q[2]};
  }
  if (b != 0) {  // Rz(b)^T
    const double c = std::cos(b), s = std::sin(b);
    q = {c * q[0] + s * q[1], -s * q[0] + c * q[1], q[2]};
  }
  return q;
}

// 1/size, or 0 for a size of 0 (LightWave would divide by it; a flat
// texture then gives every point the image's middle).
double Inverse(float size) { return size != 0 && std::isfinite(size) ? 1.0 / size : 0.0; }

double Wraps(float wraps) { return wraps > 0 && std::isfinite(wraps) ? wraps : 1.0; }

Uv PlanarUv(const ImageMap& map, const Vec3d& q, int axis) {
  double u, v;
  if (axis == 0) {
    u = q[2] * Inverse(map.size[2]) + 0.5;
    v = q[1] * Inverse(map.size[1]) + 0.5;
  } else if (axis == 1) {
    u = q[0] * Inverse(map.size[0]) + 0.5;
    v = q[2] * Inverse(map.size[2]) + 0.5;
  } else {
    u = q[0] * Inverse(map.size[0]) + 0.5;
    v = q[1] * Inverse(map.size[1]) + 0.5;
  }
  return {static_cast<float>(u), static_cast<float>(v)};
}

// LightWave's (X, Y, Z) arguments to xyztoh/xyztohp for each axis.
Vec3d AboutAxis(const Vec3d& q, int axis) {
  if (axis == 0) return {q[2], q[0], -q[1]};
  if (axis == 1) return {-q[0], q[1], q[2]};
  return {-q[0], q[2], -q[1]};
}

struct Angles {
  double lon;  // [0, 1), the image's left edge at 0
  double lat;  // [0, 1], the image's top at 0
  bool onAxis;
};

Angles AnglesOf(const Vec3d& q, int axis) {
  const Vec3d a = AboutAxis(q, axis);
  const double around = std::hypot(a[0], a[2]);
  const double length = std::hypot(around, a[1]);
  Angles out;
  out.onAxis = around <= 1e-6 * length || length == 0;
  const double heading = std::atan2(-a[0], a[2]);
  out.lon = 1 - heading / kTwoPi;
  out.lon -= std::floor(out.lon);
  if (out.lon >= 1) out.lon = 0;
  out.lat = 0.5 - std::atan2(a[1], around) / std::numbers::pi;
  return out;
}

// Newell's normal of the polygon, in the texture's frame.
Vec3d NormalOf(const std::vector<Vec3d>& q) {
  Vec3d n{0, 0, 0};
  for (std::size_t i = 0; i < q.size(); ++i) {
    const Vec3d& a = q[i];
    const Vec3d& b = q[(i + 1) % q.size()];
    n[0] += (a[1] - b[1]) * (a[2] + b[2]);
    n[1] += (a[2] - b[2]) * (a[0] + b[0]);
    n[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  return n;
}

int DominantAxis(const Vec3d& n) {
  const double x = std::abs(n[0]), y = std::abs(n[1]), z = std::abs(n[2]);
  if (x >= y && x >= z) return 0;
  return y >= z ? 1 : 2;
}

}  // namespace

std::vector<Uv> ProjectPolygon(const ImageMap& map, const std::vector<Vec3>& corners) {
  std::vector<Vec3d> q;
  q.reserve(corners.size());
  for (const Vec3& c : corners) q.push_back(ToTexture(map, c));
  std::vector<Uv> uvs;
  uvs.reserve(corners.size());

  switch (map.projection) {
    case Projection::Planar:
      for (const Vec3d& p : q) uvs.push_back(PlanarUv(map, p, map.axis));
      return uvs;
    case Projection::Cubic: {
      const int axis = DominantAxis(NormalOf(q));
      for (const Vec3d& p : q) uvs.push_back(PlanarUv(map, p, axis));
      return uvs;
    }
    case Projection::Cylindrical:
    case Projection::Spherical:
      break;
    case Projection::Front:
    case Projection::Uv:
      return uvs;
  }

  std::vector<Angles> angles;
  angles.reserve(q.size());
  for (const Vec3d& p : q) angles.push_back(AnglesOf(p, map.axis));
  // Across the seam: the corners near 0 go on past 1.
  double low = 1, high = 0;
  for (const Angles& a : angles) {
    if (a.onAxis) continue;
    low = std::min(low, a.lon);
    high = std::max(high, a.lon);
  }
  if (high - low > 0.5) {
    for (Angles& a : angles) {
      if (!a.onAxis && a.lon < 0.5) a.lon += 1;
    }
  }
  double sum = 0;
  int around = 0;
  for (const Angles& a : angles) {
    if (!a.onAxis) sum += a.lon, ++around;
  }
  if (around > 0) {
    for (Angles& a : angles) {
      if (a.onAxis) a.lon = sum / around;
    }
  }

  const double widthWraps = Wraps(map.widthWraps), heightWraps = Wraps(map.heightWraps);
  const int axis = map.axis;
  for (std::size_t i = 0; i < q.size(); ++i) {
    const double u = angles[i].lon * widthWraps;
    const double v =
        map.projection == Projection::Cylindrical
            ? q[i][static_cast<std::size_t>(axis)] * Inverse(map.size[static_cast<std::size_t>(axis)]) + 0.5
            : 1 - angles[i].lat * heightWraps;
    uvs.push_back({static_cast<float>(u), static_cast<float>(v)});
  }
  return uvs;
}

}  // namespace stagwerk::kq7::lightwave
