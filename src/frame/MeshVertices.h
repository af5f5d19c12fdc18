#pragma once
// A mesh as a vertex array a shader back end draws with one call: every
// corner its own vertex, interleaved, polygons as triangles. A polygon of
// more than three corners becomes a fan from its first corner, the
// triangles GL makes of it.
#include <cstdint>
#include <vector>

namespace stagwerk {

class Mesh;

// Floats per vertex, in this order: position 3, normal 3, then colour 4,
// unit 0 coordinates 2 and unit 1 coordinates 2 when the mesh has them.
struct VertexLayout {
  bool colours = false;
  bool uv0 = false;
  bool uv1 = false;

  int colourOffset() const { return 6; }
  int uv0Offset() const { return 6 + (colours ? 4 : 0); }
  int uv1Offset() const { return uv0Offset() + (uv0 ? 2 : 0); }
  int stride() const { return uv1Offset() + (uv1 ? 2 : 0); }
};

VertexLayout LayoutOf(const Mesh& mesh);

// How a four-cornered polygon becomes two triangles: Mesa splits quads drawn
// from a display list along the diagonal from the second corner (0 1 3,
// 1 2 3), and those sent one vertex at a time as a fan (0 1 2, 0 2 3).
// Which diagonal decides how colours and coordinates are interpolated.
enum class QuadSplit { AcrossSecondCorner, Fan };

// Replaces out with the mesh's triangles in LayoutOf(mesh); returns the
// vertex count.
uint32_t BuildMeshVertices(const Mesh& mesh, std::vector<float>& out, QuadSplit split);

}  // namespace stagwerk
