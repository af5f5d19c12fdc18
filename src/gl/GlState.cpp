#include "gl/GlState.h"

#include "base/LoadError.h"

namespace stagwerk {

PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;

bool SetupGlState(GlProcLookup lookup) {
  glMultiTexCoord2fARB = reinterpret_cast<PFNGLMULTITEXCOORD2FARBPROC>(lookup("glMultiTexCoord2fARB"));
  if (glMultiTexCoord2fARB == nullptr) throw LoadError("glMultiTexCoord2fARB unreachable");
  glActiveTextureARB = reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(lookup("glActiveTextureARB"));
  if (glActiveTextureARB == nullptr) throw LoadError("glActiveTextureARB unreachable");

  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
  glHint(GL_FOG_HINT, GL_NICEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_NORMALIZE);
  glEnable(GL_FOG);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glEnable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.0001f);  // texels of alpha 0 never reach the picture
  glEnable(GL_DITHER);
  glShadeModel(GL_SMOOTH);
  glFrontFace(GL_CW);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT, GL_FILL);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glDepthFunc(GL_LEQUAL);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glClearColor(0, 0, 0, 0);
  const GLfloat black[4] = {0, 0, 0, 1};
  for (GLenum i = 0; i < 8; ++i) {
    glLightfv(GL_LIGHT0 + i, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0 + i, GL_SPECULAR, black);
  }
  return true;
}

}  // namespace stagwerk
