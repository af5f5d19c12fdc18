#pragma once
// A mesh into GL calls: corners, triangle runs and polygons (into the display
// list at load, or immediate for morphing copies), the texture units and
// their combiners, and point sets as screen-facing squares.
#include <cstdint>

#include "objects/MeshCache.h"

namespace stagwerk {

class Mesh;
struct Matrix4;

// Between glBegin and glEnd: colour, normal, both texture coordinates, vertex.
void EmitCorner(const Mesh& mesh, uint32_t corner);
// All corners as one GL_TRIANGLES run (AllTriangles meshes).
void DrawTriangles(const Mesh& mesh);
// One primitive per polygon: GL_TRIANGLES, GL_QUADS or GL_POLYGON.
void DrawPolygons(const Mesh& mesh);
// Records the mesh into a new display list (no texture state).
void CompileList(Mesh& mesh);
void DeleteList(Mesh& mesh);
// Compile the display list of every mesh with polygons as it loads (an
// AllTriangles mesh without any gets an empty one), delete it at teardown.
MeshHooks GlMeshHooks();
// Texture units, combiners and sphere mapping for the mesh's flags, with the
// colour scale of the object's brightness flags.
void BindTextures(const Mesh& mesh, uint32_t objectFlags);
// A square of side 2 size at each vertex's eye position, parallel to the
// screen: the object's rotation and scale never reach it. modelview is the
// object's matrix; the squares are drawn under an identity modelview.
void DrawSprites(const Mesh& mesh, float size, const Matrix4& modelview);

// 2 with DoubleBrightness, else 4 with QuadrupleBrightness, else 1.
float ColourScale(uint32_t objectFlags);

}  // namespace stagwerk
