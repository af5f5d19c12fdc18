#include "objects/MeshDrawing.h"

#include "anim/Matrix4.h"
#include "gl/GlState.h"
#include "objects/Mesh.h"
#include "objects/SceneObject.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

void EnableAndBind(const Texture& texture) {
  glEnable(texture.target);
  glBindTexture(texture.target, texture.glName);
}

void TextureGeneration(bool on) {
  if (on) {
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
  } else {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
  }
}

void Combine(GLint rgb) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, rgb);
}

}  // namespace

float ColourScale(uint32_t objectFlags) {
  if (objectFlags & DoubleBrightness) return 2.0f;
  if (objectFlags & QuadrupleBrightness) return 4.0f;
  return 1.0f;
}

void EmitCorner(const Mesh& mesh, uint32_t c) {
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

void DrawTriangles(const Mesh& mesh) {
  glBegin(GL_TRIANGLES);
  for (uint32_t c = 0; c < mesh.cornerTotal(); ++c) EmitCorner(mesh, c);
  glEnd();
}

void DrawPolygons(const Mesh& mesh) {
  uint32_t c = 0;
  for (uint16_t m : mesh.cornerCounts()) {
    glBegin(m == 3 ? GL_TRIANGLES : m == 4 ? GL_QUADS : GL_POLYGON);
    for (uint32_t end = c + m; c < end; ++c) EmitCorner(mesh, c);
    glEnd();
  }
}

void CompileList(Mesh& mesh) {
  mesh.displayList = glGenLists(1);
  glNewList(mesh.displayList, GL_COMPILE);
  if (mesh.Has(AllTriangles)) {
    DrawTriangles(mesh);
  } else {
    DrawPolygons(mesh);
  }
  glEndList();
}

void DeleteList(Mesh& mesh) {
  if (mesh.displayList == 0) return;
  glDeleteLists(mesh.displayList, 1);
  mesh.displayList = 0;
}

MeshHooks GlMeshHooks() {
  return {[](Mesh& mesh) {
            if (mesh.Has(HasPolygons) || mesh.Has(AllTriangles)) CompileList(mesh);
          },
          &DeleteList};
}

void BindTextures(const Mesh& mesh, uint32_t objectFlags) {
  const float scale = ColourScale(objectFlags);
  const Texture* texture = mesh.Has(HasTexture) ? mesh.texture() : nullptr;
  const Texture* texture2 = mesh.texture2();

  glActiveTextureARB(GL_TEXTURE0_ARB);
  if (texture != nullptr) {
    EnableAndBind(*texture);
    Combine(GL_MODULATE);
    TextureGeneration(false);
  } else {
    glDisable(GL_TEXTURE_2D);
  }

  if (mesh.Has(HasSecondTexture) && texture2 != nullptr) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    EnableAndBind(*texture2);
    Combine(GL_MODULATE);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
    TextureGeneration(false);
  } else {
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
  }

  if (mesh.Has(HasEnvironmentMap) && texture2 != nullptr) {
    if (texture != nullptr) {
      // Still on unit 1: the reflection is a signed add over the first layer.
      glActiveTextureARB(GL_TEXTURE1_ARB);
      EnableAndBind(*texture2);
      Combine(GL_ADD_SIGNED_ARB);
      glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
      TextureGeneration(true);
    } else {
      glActiveTextureARB(GL_TEXTURE1_ARB);
      glDisable(GL_TEXTURE_2D);
      glActiveTextureARB(GL_TEXTURE0_ARB);
      EnableAndBind(*texture2);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      TextureGeneration(true);
    }
  }
}

void DrawSprites(const Mesh& mesh, float size, const Matrix4& m) {
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  if (const Texture* texture = mesh.texture2()) {
    EnableAndBind(*texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  } else {
    // A point set that names no texture shows plain squares in the current
    // colour rather than whatever texture was bound last.
    glDisable(GL_TEXTURE_2D);
  }
  TextureGeneration(false);

  // Each square sits at the vertex's eye position under an identity matrix,
  // which is what translating by the read-back translation gives.
  glLoadIdentity();
  const std::span<const float> p = mesh.positions();
  glBegin(GL_TRIANGLES);
  for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
    const float x = m[0] * p[i] + m[4] * p[i + 1] + m[8] * p[i + 2] + m[12];
    const float y = m[1] * p[i] + m[5] * p[i + 1] + m[9] * p[i + 2] + m[13];
    const float z = m[2] * p[i] + m[6] * p[i + 1] + m[10] * p[i + 2] + m[14];
    // The strip (0,0) (0,1) (1,0) (1,1) as its two triangles, same winding.
    glTexCoord2f(0, 0); glVertex3f(x - size, y - size, z);
    glTexCoord2f(0, 1); glVertex3f(x - size, y + size, z);
    glTexCoord2f(1, 0); glVertex3f(x + size, y - size, z);
    glTexCoord2f(1, 0); glVertex3f(x + size, y - size, z);
    glTexCoord2f(0, 1); glVertex3f(x - size, y + size, z);
    glTexCoord2f(1, 1); glVertex3f(x + size, y + size, z);
  }
  glEnd();
  glLoadMatrixf(m.m.data());
}

}  // namespace stagwerk
