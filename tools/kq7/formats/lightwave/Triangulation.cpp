#include "kq7/formats/lightwave/Triangulation.h"

#include <cmath>

namespace stagwerk::kq7::lightwave {

namespace {

using Point2 = std::array<double, 2>;

double Cross(const Point2& a, const Point2& b, const Point2& c) {
  return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
}

bool Inside(const Point2& p, const Point2& a, const Point2& b, const Point2& c) {
  return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

std::vector<std::array<std::size_t, 3>> Fan(std::size_t n) {
  std::vector<std::array<std::size_t, 3>> out;
  for (std::size_t i = 1; i + 1 < n; ++i) out.push_back({0, i, i + 1});
  return out;
}

}  // namespace

std::vector<std::array<std::size_t, 3>> Triangulate(const std::vector<Vec3>& corners) {
  const std::size_t n = corners.size();
  if (n < 3) return {};
  if (n == 3 || n > 64) return Fan(n);

  // Newell's normal; the polygon is flattened along its largest component,
  // and turned so that it runs counter-clockwise in the flat picture.
  double normal[3] = {0, 0, 0};
  for (std::size_t i = 0; i < n; ++i) {
    const Vec3& a = corners[i];
    const Vec3& b = corners[(i + 1) % n];
    normal[0] += (double{a[1]} - b[1]) * (double{a[2]} + b[2]);
    normal[1] += (double{a[2]} - b[2]) * (double{a[0]} + b[0]);
    normal[2] += (double{a[0]} - b[0]) * (double{a[1]} + b[1]);
  }
  int drop = 0;
  for (int k = 1; k < 3; ++k) {
    if (std::abs(normal[k]) > std::abs(normal[drop])) drop = k;
  }
  if (!(std::abs(normal[drop]) > 0) || !std::isfinite(normal[drop])) return Fan(n);
  const int ax = (drop + 1) % 3, ay = (drop + 2) % 3;
  const double sign = normal[drop] > 0 ? 1 : -1;
  std::vector<Point2> flat(n);
  for (std::size_t i = 0; i < n; ++i) flat[i] = {corners[i][ax], sign * corners[i][ay]};

  std::vector<std::size_t> left(n);
  for (std::size_t i = 0; i < n; ++i) left[i] = i;
  std::vector<std::array<std::size_t, 3>> out;
  while (left.size() > 3) {
    const std::size_t m = left.size();
    bool clipped = false;
    for (std::size_t i = 0; i < m && !clipped; ++i) {
      const std::size_t a = left[(i + m - 1) % m], b = left[i], c = left[(i + 1) % m];
      if (Cross(flat[a], flat[b], flat[c]) <= 0) continue;  // a reflex or flat corner
      bool ear = true;
      for (std::size_t j = 0; j < m && ear; ++j) {
        const std::size_t o = left[j];
        if (o == a || o == b || o == c) continue;
        ear = !Inside(flat[o], flat[a], flat[b], flat[c]);
      }
      if (!ear) continue;
      out.push_back({a, b, c});
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(i));
      clipped = true;
    }
    if (!clipped) {
      // Self-crossing or degenerate: the rest as a fan.
      for (std::size_t i = 1; i + 1 < left.size(); ++i) out.push_back({left[0], left[i], left[i + 1]});
      return out;
    }
  }
  out.push_back({left[0], left[1], left[2]});
  return out;
}

}  // namespace stagwerk::kq7::lightwave
