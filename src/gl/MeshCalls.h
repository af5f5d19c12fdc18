#pragma once
// A mesh into GL calls: corners, triangle runs and polygons, recorded into a
// display list at load or sent as they are for a morphing copy.
#include "gl/GlHeaders.h"

namespace stagwerk {

class Mesh;

// All corners as one GL_TRIANGLES run with AllTriangles, else one primitive
// per polygon: GL_TRIANGLES, GL_QUADS or GL_POLYGON. Each corner gives its
// colour, normal, both texture coordinates and position.
void SendMesh(const Mesh& mesh);
// The mesh recorded into a new display list (no texture state).
GLuint CompileMesh(const Mesh& mesh);

}  // namespace stagwerk
