#include "app/LoadingScreen.h"

#include "gl/GlState.h"
#include "scene/FrameRenderer.h"
#include "textures/Texture.h"
#include "textures/TextureUpload.h"

namespace stagwerk {

void ShowLoadingScreen(const Texture& picture) {
  // Clip space is the drawing space.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  BindTexture(picture, 0);
  DrawFullScreenQuad();
}

}  // namespace stagwerk
