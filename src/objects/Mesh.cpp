#include "objects/Mesh.h"

#include <algorithm>

namespace stagwerk {

namespace {

struct Vec3 {
  float x, y, z;
};

Vec3 At(std::span<const float> positions, uint16_t vertex) {
  const float* p = &positions[std::size_t{3} * vertex];
  return {p[0], p[1], p[2]};
}

// (c - b) x (a - b): points to the front for corners running counter-clockwise.
Vec3 FaceNormal(Vec3 a, Vec3 b, Vec3 c) {
  const Vec3 u{c.x - b.x, c.y - b.y, c.z - b.z};
  const Vec3 v{a.x - b.x, a.y - b.y, a.z - b.z};
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

void Add(std::vector<float>& normals, uint16_t vertex, Vec3 n) {
  float* p = &normals[std::size_t{3} * vertex];
  p[0] += n.x;
  p[1] += n.y;
  p[2] += n.z;
}

}  // namespace

void Mesh::ComputeNormals() {
  if (normals_.empty()) return;
  std::fill(normals_.begin(), normals_.end(), 0.0f);
  const std::vector<uint16_t>& corners = arrays_->vertexIndices;
  const std::span<const float> p = positions_;
  if (flags_ & AllTriangles) {
    for (std::size_t k = 0; k + 2 < corners.size(); k += 3) {
      const Vec3 n = FaceNormal(At(p, corners[k]), At(p, corners[k + 1]), At(p, corners[k + 2]));
      for (std::size_t i = 0; i < 3; ++i) Add(normals_, corners[k + i], n);
    }
    return;
  }
  std::size_t k = 0;
  for (uint16_t m : arrays_->cornerCounts) {
    // Points and lines have no face; they add nothing rather than borrow
    // corners of the next polygon.
    if (m >= 3) {
      const Vec3 n = FaceNormal(At(p, corners[k]), At(p, corners[k + 1]), At(p, corners[k + m - 1]));
      for (std::size_t i = 0; i < m; ++i) Add(normals_, corners[k + i], n);
    }
    k += m;
  }
}

std::unique_ptr<Mesh> Mesh::MakeMorphCopy(const Mesh& base) {
  auto copy = std::unique_ptr<Mesh>(new Mesh(base));
  copy->morphCopy_ = true;
  copy->name_.clear();
  return copy;
}

void Mesh::Blend(const Mesh& a, const Mesh& b, float t) {
  const std::size_t n = positions_.size();
  const std::size_t fromBoth = std::min({n, a.positions_.size(), b.positions_.size()});
  for (std::size_t i = 0; i < fromBoth; ++i) {
    const float from = a.positions_[i];
    positions_[i] = from + (b.positions_[i] - from) * t;
  }
  const std::size_t fromA = std::min(n, a.positions_.size());
  if (&a != this) std::copy(a.positions_.begin() + fromBoth, a.positions_.begin() + fromA, positions_.begin() + fromBoth);
}

void Mesh::CopyPositionsFrom(const Mesh& base) {
  const std::size_t n = std::min(positions_.size(), base.positions_.size());
  std::copy_n(base.positions_.begin(), n, positions_.begin());
}

void Mesh::ApplyMorphTarget(uint32_t target, float weight) {
  if (target >= arrays_->deltaCounts.size()) return;
  const uint32_t first = arrays_->deltaStarts[target];
  const std::span<const MorphDelta> deltas(arrays_->morphDeltas.data() + first, arrays_->deltaCounts[target]);
  for (const MorphDelta& d : deltas) {
    // Vertex numbers were checked at load; a copy has the base's vertex count.
    float* p = &positions_[std::size_t{3} * d.vertex];
    p[0] += weight * d.dx;
    p[1] += weight * d.dy;
    p[2] += weight * d.dz;
  }
}

}  // namespace stagwerk
