#include "Meshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "objects/Kq7Writer.h"

namespace demo_assets {

namespace {

using stagwerk::Kq7Description;
using Vec = std::array<float, 3>;
constexpr float kPi = 3.14159265f;

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec Normalised(const Vec& v) {
  const float l = std::sqrt(Dot(v, v));
  return l > 0 ? Vec{v[0] / l, v[1] / l, v[2] / l} : v;
}

// Adds a polygon seen from the side `towards` points to. The player's
// normals follow (b - a) x (c - a), which points at the viewer of a
// clockwise polygon; a polygon facing the other way is reversed. Corners on
// the same point as the one before are dropped (a grid's poles), so no
// three corners used for the normal collapse.
void Face(Kq7Description& d, std::vector<uint16_t> corners, const Vec& towards) {
  std::vector<uint16_t> kept;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const Vec gap = Sub(d.positions[corners[i]], d.positions[corners[(i + corners.size() - 1) % corners.size()]]);
    if (Dot(gap, gap) > 1e-10f) kept.push_back(corners[i]);
  }
  if (kept.size() < 3) return;
  Vec n{0, 0, 0};
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const Vec c = Cross(d.positions[kept[i]], d.positions[kept[(i + 1) % kept.size()]]);
    n = {n[0] + c[0], n[1] + c[1], n[2] + c[2]};
  }
  if (Dot(n, towards) < 0) std::reverse(kept.begin() + 1, kept.end());
  d.polygons.push_back(kept);
}

// One texture coordinate and one colour per vertex: the corner arrays
// repeat the vertex indices.
void CornersFollowVertices(Kq7Description& d) {
  for (const auto& polygon : d.polygons) {
    for (uint16_t v : polygon) {
      if (d.flags & stagwerk::HasTexture) d.uvIndices.push_back(v);
      if (d.flags & stagwerk::HasColours) d.colourIndices.push_back(v);
      if (d.flags & stagwerk::HasSecondTexture) d.uv2Indices.push_back(v);
    }
  }
}

Vec Centroid(const Kq7Description& d, const std::vector<uint16_t>& corners) {
  Vec c{0, 0, 0};
  for (uint16_t v : corners) {
    for (int i = 0; i < 3; ++i) c[static_cast<std::size_t>(i)] += d.positions[v][static_cast<std::size_t>(i)];
  }
  const float n = static_cast<float>(corners.size());
  return {c[0] / n, c[1] / n, c[2] / n};
}

// A (columns + 1) x (rows + 1) grid of vertices from surface(u, v), u and v
// in [0, 1], with quads seen from outside(centroid) of each.
void Grid(Kq7Description& d, int columns, int rows, const std::function<Vec(float, float)>& surface,
          const std::function<Vec(const Vec&)>& outside) {
  const auto base = static_cast<uint16_t>(d.positions.size());
  for (int j = 0; j <= rows; ++j) {
    for (int i = 0; i <= columns; ++i) {
      const float u = static_cast<float>(i) / static_cast<float>(columns);
      const float v = static_cast<float>(j) / static_cast<float>(rows);
      d.positions.push_back(surface(u, v));
      d.uvs.push_back({u, v});
    }
  }
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      const auto at = [&](int a, int b) { return static_cast<uint16_t>(base + b * (columns + 1) + a); };
      std::vector<uint16_t> quad{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      Face(d, quad, outside(Centroid(d, quad)));
    }
  }
}

Vec Hsv(float hue, float saturation, float value) {
  const float h = std::fmod(hue, 1.0f) * 6.0f;
  const float f = h - std::floor(h);
  const float p = value * (1 - saturation), q = value * (1 - saturation * f), t = value * (1 - saturation * (1 - f));
  switch (static_cast<int>(h)) {
    case 0: return {value, t, p};
    case 1: return {q, value, p};
    case 2: return {p, value, t};
    case 3: return {p, q, value};
    case 4: return {t, p, value};
    default: return {value, p, q};
  }
}

float Hill(float x, float z) {
  return 1.6f * std::sin(x * 0.13f) * std::cos(z * 0.11f) + 0.7f * std::sin(x * 0.31f + z * 0.23f) +
         0.004f * (x * x);  // a valley along the camera's path
}

// Rolling ground, 120 units square around the origin: a rock texture tiled
// and a second layer of broad light and shade over the whole.
Kq7Description Terrain() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasTexture | stagwerk::HasSecondTexture;
  d.textureName = "Rock";
  d.secondTextureName = "Shade";
  Grid(d, 30, 30, [](float u, float v) {
    const float x = (u - 0.5f) * 120.0f, z = (v - 0.5f) * 120.0f;
    return Vec{x, Hill(x, z), z};
  }, [](const Vec&) { return Vec{0, 1, 0}; });
  for (auto& uv : d.uvs) {
    d.uvs2.push_back(uv);
    uv = {uv[0] * 12.0f, uv[1] * 12.0f};
  }
  CornersFollowVertices(d);
  return d;
}

// A box from -half to +half, each face its own four vertices and the whole
// texture; seen from outside.
void Box(Kq7Description& d, const Vec& half) {
  for (int axis = 0; axis < 3; ++axis) {
    for (float sign : {-1.0f, 1.0f}) {
      const int a = (axis + 1) % 3, b = (axis + 2) % 3;
      Vec normal{0, 0, 0};
      normal[static_cast<std::size_t>(axis)] = sign;
      const auto base = static_cast<uint16_t>(d.positions.size());
      const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
      for (const auto& c : corners) {
        Vec p{};
        p[static_cast<std::size_t>(axis)] = sign * half[static_cast<std::size_t>(axis)];
        p[static_cast<std::size_t>(a)] = c[0] * half[static_cast<std::size_t>(a)];
        p[static_cast<std::size_t>(b)] = c[1] * half[static_cast<std::size_t>(b)];
        d.positions.push_back(p);
        // Upright faces keep the picture upright: v follows +Y where it can.
        const float s = axis == 1 ? c[0] : (a == 1 ? c[1] : c[0]);
        const float t = axis == 1 ? c[1] : (a == 1 ? c[0] : c[1]);
        d.uvs.push_back({(s + 1) * 0.5f, (t + 1) * 0.5f});
      }
      Face(d, {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)},
           normal);
    }
  }
}

Kq7Description Monolith() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasTexture;
  d.textureName = "Runes";
  Box(d, {1.0f, 4.0f, 0.35f});
  CornersFollowVertices(d);
  return d;
}

// A sphere of radius 1 with a colour band per latitude; morph targets for
// the mixer: 0 ripples it into lumps, 1 flattens it into a disc.
Kq7Description Blob() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasColours | stagwerk::HasMorphTargets;
  const int columns = 32, rows = 20;
  Grid(d, columns, rows, [](float u, float v) {
    const float theta = u * 2 * kPi, phi = v * kPi;
    return Vec{std::sin(phi) * std::cos(theta), -std::cos(phi), std::sin(phi) * std::sin(theta)};
  }, [](const Vec& c) { return c; });
  std::vector<stagwerk::MorphDelta> lumps, flat;
  for (std::size_t i = 0; i < d.positions.size(); ++i) {
    const Vec& p = d.positions[i];
    const float theta = d.uvs[i][0] * 2 * kPi, phi = d.uvs[i][1] * kPi;
    const float k = 0.35f * std::sin(5 * theta) * std::sin(4 * phi);
    lumps.push_back({p[0] * k, p[1] * k, p[2] * k, static_cast<uint16_t>(i)});
    flat.push_back({p[0] * 0.35f, p[1] * -0.55f, p[2] * 0.35f, static_cast<uint16_t>(i)});
    const Vec c = Hsv(0.55f + 0.5f * d.uvs[i][1], 0.75f, 1.0f);
    d.colours.push_back({c[0], c[1], c[2], 1.0f});
  }
  d.morphTargets = {lumps, flat};
  d.uvs.clear();
  CornersFollowVertices(d);
  return d;
}

// A cube of side 2 cut into a grid per face, and the same vertices pushed
// out onto a sphere: the morph target it rounds into.
Kq7Description RoundedCube(bool round) {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasTexture;
  d.textureName = "Metal";
  const int n = 6;
  for (int axis = 0; axis < 3; ++axis) {
    for (float sign : {-1.0f, 1.0f}) {
      Grid(d, n, n, [&](float u, float v) {
        Vec p{};
        p[static_cast<std::size_t>(axis)] = sign;
        p[static_cast<std::size_t>((axis + 1) % 3)] = 2 * u - 1;
        p[static_cast<std::size_t>((axis + 2) % 3)] = 2 * v - 1;
        return round ? Normalised(p) : p;
      }, [](const Vec& c) { return c; });
    }
  }
  CornersFollowVertices(d);
  return d;
}

// A torus around the Z axis (radius 3, tube 0.22), coloured in a hue
// sweep: the tunnel's rings.
Kq7Description Ring() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasColours;
  const float major = 3.0f, minor = 0.22f;
  Grid(d, 36, 8, [&](float u, float v) {
    const float a = u * 2 * kPi, b = v * 2 * kPi;
    const float r = major + minor * std::cos(b);
    return Vec{r * std::cos(a), r * std::sin(a), minor * std::sin(b)};
  }, [&](const Vec& c) {
    const float a = std::atan2(c[1], c[0]);
    return Sub(c, Vec{major * std::cos(a), major * std::sin(a), 0});
  });
  for (const auto& uv : d.uvs) {
    const Vec c = Hsv(0.5f + 0.35f * std::fabs(std::sin(uv[0] * kPi * 2)), 0.8f, 0.8f);
    d.colours.push_back({c[0], c[1], c[2], 1.0f});
  }
  d.uvs.clear();
  CornersFollowVertices(d);
  return d;
}

// A square of side 2 in the XY plane facing -Z (towards a camera behind it).
Kq7Description Veil() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasTexture;
  d.textureName = "Nebula";
  Grid(d, 1, 1, [](float u, float v) { return Vec{2 * u - 1, 2 * v - 1, 0}; }, [](const Vec&) { return Vec{0, 0, -1}; });
  CornersFollowVertices(d);
  return d;
}

// Points only, drawn as sprites: a hollow cylinder of sparks around the Z
// axis from z = -10 to 190, clear of the camera's path.
Kq7Description Sparks() {
  Kq7Description d;
  d.flags = stagwerk::HasEnvironmentMap;
  d.environmentMapName = "Spark";
  unsigned seed = 2024;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  for (int i = 0; i < 600; ++i) {
    const float a = next() * 2 * kPi, r = 4.5f + next() * 9.0f, z = -10.0f + next() * 200.0f;
    d.positions.push_back({r * std::cos(a), r * std::sin(a), z});
  }
  return d;
}

// A ball of sparks of radius 1 to 8 around the origin.
Kq7Description Swarm() {
  Kq7Description d;
  d.flags = stagwerk::HasEnvironmentMap;
  d.environmentMapName = "Spark";
  unsigned seed = 77;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  for (int i = 0; i < 400; ++i) {
    const Vec dir = Normalised({next() * 2 - 1, next() * 2 - 1, next() * 2 - 1});
    const float r = 2.5f + 6.0f * next();
    d.positions.push_back({dir[0] * r, dir[1] * r * 0.5f, dir[2] * r});
  }
  return d;
}

// A (2, 3) torus knot tube, chrome by its environment map.
Kq7Description Knot() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasEnvironmentMap;
  d.environmentMapName = "Chrome";
  const auto curve = [](float s) {
    const float a = s * 2 * kPi;
    const float r = 2.0f + std::cos(3 * a);
    return Vec{r * std::cos(2 * a), 0.9f * std::sin(3 * a), r * std::sin(2 * a)};
  };
  const float tube = 0.42f;
  Grid(d, 160, 10, [&](float u, float v) {
    const Vec p = curve(u), ahead = curve(u + 0.001f);
    const Vec t = Normalised(Sub(ahead, p));
    const Vec side = Normalised(Cross(t, Vec{0, 1, 0}));
    const Vec up = Cross(side, t);
    const float b = v * 2 * kPi;
    return Vec{p[0] + tube * (side[0] * std::cos(b) + up[0] * std::sin(b)),
               p[1] + tube * (side[1] * std::cos(b) + up[1] * std::sin(b)),
               p[2] + tube * (side[2] * std::cos(b) + up[2] * std::sin(b))};
  }, [&](const Vec& c) {
    // Away from the nearest point of the curve.
    float best = 1e9f;
    Vec nearest{};
    for (int i = 0; i < 400; ++i) {
      const Vec p = curve(static_cast<float>(i) / 400.0f);
      const Vec off = Sub(c, p);
      if (Dot(off, off) < best) {
        best = Dot(off, off);
        nearest = p;
      }
    }
    return Sub(c, nearest);
  });
  d.uvs.clear();
  return d;
}

// An octahedron, white at the tips and coloured at the waist.
Kq7Description Crystal() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasColours | stagwerk::AllTriangles;
  d.positions = {{0, 1.6f, 0}, {0, -1.6f, 0}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1}};
  d.colours = {{1, 1, 1, 1}, {0.9f, 0.9f, 1, 1}, {1, 0.3f, 0.6f, 1}, {0.3f, 0.6f, 1, 1}, {0.4f, 1, 0.7f, 1},
               {1, 0.8f, 0.3f, 1}};
  for (uint16_t tip : {0, 1}) {
    for (uint16_t i = 0; i < 4; ++i) {
      const auto a = static_cast<uint16_t>(2 + i), b = static_cast<uint16_t>(2 + (i + 1) % 4);
      std::vector<uint16_t> triangle{tip, a, b};
      Face(d, triangle, Centroid(d, triangle));
    }
  }
  CornersFollowVertices(d);
  return d;
}

// A floor of tiles, 40 units square, facing up.
Kq7Description Floor() {
  Kq7Description d;
  d.flags = stagwerk::HasPolygons | stagwerk::HasTexture;
  d.textureName = "Tiles";
  Grid(d, 16, 16, [](float u, float v) { return Vec{(u - 0.5f) * 40, 0, (v - 0.5f) * 40}; },
       [](const Vec&) { return Vec{0, 1, 0}; });
  for (auto& uv : d.uvs) uv = {uv[0] * 8, uv[1] * 8};
  CornersFollowVertices(d);
  return d;
}

}  // namespace

void WriteMeshes(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  const auto write = [&](const char* name, const Kq7Description& d) {
    stagwerk::WriteKq7File((dir / (std::string(name) + ".kq7")).string(), d);
  };
  write("Terrain", Terrain());
  write("Monolith", Monolith());
  write("Blob", Blob());
  write("Cube", RoundedCube(false));
  write("Sphere", RoundedCube(true));
  write("Ring", Ring());
  write("Veil", Veil());
  write("Sparks", Sparks());
  write("Swarm", Swarm());
  write("Knot", Knot());
  write("Crystal", Crystal());
  write("Floor", Floor());
}

}  // namespace demo_assets
