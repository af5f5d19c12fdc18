#include "frame/MeshVertices.h"

#include "objects/Mesh.h"

namespace stagwerk {

namespace {

void PutCorner(const Mesh& mesh, const VertexLayout& layout, uint32_t c, float* out) {
  const std::size_t v = std::size_t{3} * mesh.vertexIndices()[c];
  for (int i = 0; i < 3; ++i) {
    out[i] = mesh.positions()[v + static_cast<std::size_t>(i)];
    out[3 + i] = mesh.normals()[v + static_cast<std::size_t>(i)];
  }
  if (layout.colours) {
    const float* colour = &mesh.colours()[std::size_t{4} * mesh.colourIndices()[c]];
    for (int i = 0; i < 4; ++i) out[layout.colourOffset() + i] = colour[i];
  }
  if (layout.uv0) {
    const float* uv = &mesh.uvs()[std::size_t{2} * mesh.uvIndices()[c]];
    out[layout.uv0Offset()] = uv[0];
    out[layout.uv0Offset() + 1] = uv[1];
  }
  if (layout.uv1) {
    const float* uv = &mesh.uvs2()[std::size_t{2} * mesh.uv2Indices()[c]];
    out[layout.uv1Offset()] = uv[0];
    out[layout.uv1Offset() + 1] = uv[1];
  }
}

}  // namespace

VertexLayout LayoutOf(const Mesh& mesh) {
  return {mesh.Has(HasColours), mesh.Has(HasTexture), mesh.Has(HasSecondTexture)};
}

uint32_t BuildMeshVertices(const Mesh& mesh, std::vector<float>& out, QuadSplit split) {
  const VertexLayout layout = LayoutOf(mesh);
  const std::size_t stride = static_cast<std::size_t>(layout.stride());
  std::size_t vertices = 0;
  if (mesh.Has(AllTriangles)) {
    vertices = mesh.cornerTotal();
  } else {
    for (uint16_t m : mesh.cornerCounts()) vertices += m >= 3 ? 3u * (m - 2u) : 0u;
  }
  out.resize(vertices * stride);
  float* at = out.data();
  auto put = [&](uint32_t c) {
    PutCorner(mesh, layout, c, at);
    at += stride;
  };
  if (mesh.Has(AllTriangles)) {
    for (uint32_t c = 0; c < mesh.cornerTotal(); ++c) put(c);
  } else {
    uint32_t first = 0;
    for (uint16_t m : mesh.cornerCounts()) {
      if (m == 4 && split == QuadSplit::AcrossSecondCorner) {
        for (uint32_t i : {0u, 1u, 3u, 1u, 2u, 3u}) put(first + i);
        first += m;
        continue;
      }
      for (uint32_t i = 1; i + 1 < m; ++i) {
        put(first);
        put(first + i);
        put(first + i + 1);
      }
      first += m;
    }
  }
  return static_cast<uint32_t>(vertices);
}

}  // namespace stagwerk
