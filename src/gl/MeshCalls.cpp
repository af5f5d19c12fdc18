#include "gl/MeshCalls.h"

#include "gl/GlState.h"
#include "objects/Mesh.h"

namespace stagwerk {

namespace {

void SendCorner(const Mesh& mesh, uint32_t c) {
  const uint8_t flags = mesh.flags();
  if (flags & HasColours) glColor4fv(&mesh.colours()[std::size_t{4} * mesh.colourIndices()[c]]);
  const std::size_t vertex = std::size_t{3} * mesh.vertexIndices()[c];
  glNormal3fv(&mesh.normals()[vertex]);
  if (flags & HasTexture) {
    const float* uv = &mesh.uvs()[std::size_t{2} * mesh.uvIndices()[c]];
    glMultiTexCoord2fARB(GL_TEXTURE0_ARB, uv[0], uv[1]);
  }
  if (flags & HasSecondTexture) {
    const float* uv = &mesh.uvs2()[std::size_t{2} * mesh.uv2Indices()[c]];
    glMultiTexCoord2fARB(GL_TEXTURE1_ARB, uv[0], uv[1]);
  }
  glVertex3fv(&mesh.positions()[vertex]);
}

}  // namespace

void SendMesh(const Mesh& mesh) {
  if (mesh.Has(AllTriangles)) {
    glBegin(GL_TRIANGLES);
    for (uint32_t c = 0; c < mesh.cornerTotal(); ++c) SendCorner(mesh, c);
    glEnd();
    return;
  }
  uint32_t c = 0;
  for (uint16_t m : mesh.cornerCounts()) {
    glBegin(m == 3 ? GL_TRIANGLES : m == 4 ? GL_QUADS : GL_POLYGON);
    for (uint32_t end = c + m; c < end; ++c) SendCorner(mesh, c);
    glEnd();
  }
}

GLuint CompileMesh(const Mesh& mesh) {
  const GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  SendMesh(mesh);
  glEndList();
  return list;
}

}  // namespace stagwerk
