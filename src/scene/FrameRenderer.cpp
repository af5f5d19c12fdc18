#include "scene/FrameRenderer.h"

#include "gl/GlState.h"
#include "lights/LightRendering.h"
#include "objects/ObjectRendering.h"
#include "scene/Scene.h"
#include "scene/ShakeRandom.h"
#include "textures/Texture.h"
#include "textures/TextureUpload.h"

namespace stagwerk {

namespace {

void IdentityMatrices() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// Fog, lighting and depth test off, only unit 0 textures: for pictures drawn
// flat over the viewport.
void FlatPictureState() {
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace

void DrawFullScreenQuad() {
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, 0);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, 0);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, 0);
  glEnd();
}

void ActivateScene(const Scene& scene) {
  for (int32_t i = 0; i < kMaxGlLights; ++i) {
    if (i < static_cast<int32_t>(scene.glLights.size())) {
      EnableGlLight(*scene.glLights[static_cast<std::size_t>(i)]);
    } else {
      glDisable(LightIdFromIndex(i));
    }
  }
  if (scene.fogType == 1) {
    const GLfloat fog[4] = {scene.fogColor.red, scene.fogColor.green, scene.fogColor.blue, scene.fogColor.alpha};
    glFogfv(GL_FOG_COLOR, fog);
  }
  glClearColor(scene.backdropColor.red, scene.backdropColor.green, scene.backdropColor.blue, 0.0f);
}

void RenderFrame(Scene& scene, float t, Camera& camera, float aspect) {
  // 1. Background picture, or a clear unless the camera leaves a blur trail.
  if (scene.bgImage != nullptr) {
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    IdentityMatrices();
    FlatPictureState();
    BindTexture(*scene.bgImage, 0);
    DrawFullScreenQuad();
    glEnable(GL_BLEND);
  } else if (!camera.blurLength) {
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // 2.
  glEnable(GL_DEPTH_TEST);
  glClear(GL_DEPTH_BUFFER_BIT);
  // 3. Fog.
  const float far = scene.fogMaxDistance.ValueAt(t);
  if (scene.fogType == 1) {
    glEnable(GL_FOG);
    glFogf(GL_FOG_START, scene.fogMinDistance.ValueAt(t));
    glFogf(GL_FOG_END, far);
  } else {
    glDisable(GL_FOG);
  }
  // 4. Projection: the far plane is the fog's far distance, fog or not.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(CameraFieldOfView(camera, t), aspect, scene.nearClip, far);
  glMatrixMode(GL_MODELVIEW);
  // 5. Ambient light.
  const float a = scene.ambientIntensity.ValueAt(t);
  const GLfloat ambient[4] = {a * scene.ambientColor.red, a * scene.ambientColor.green, a * scene.ambientColor.blue,
                              1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  // 6.-8. Mirror Z, shake, camera view.
  Matrix4 view;
  view.Scale(1, 1, -1);
  if (camera.focalDistance) {
    const std::array<float, 3> shake = CameraShake(camera, t, &ShakeRandom);
    view.Translate(shake[0], shake[1], shake[2]);
  }
  ApplyViewTransform(view, camera, t);
  glLoadMatrixf(view.m.data());
  // 9.
  scene.InvalidateItemTransforms();
  // 10. Lights.
  for (Light* light : scene.glLights) SetupGlLight(*light, t, view);
  // 11. Objects, in file order; their state stays as the last one left it.
  for (SceneObject& object : scene.objects) RenderObject(object, t, camera, view);
  // 12. Flares add their light; GL_BLEND stays as the objects left it.
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_LIGHTING);
  glDepthMask(GL_FALSE);
  glBlendFunc(GL_ONE, GL_ONE);
  for (Light* light : scene.flareLights) DrawFlare(*light, t, view);
  glDepthMask(GL_TRUE);
  glEnable(GL_LIGHTING);
  // 13. Foreground picture.
  if (scene.fgImage != nullptr) {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, scene.fgDissolve ? 1.0f - scene.fgDissolve->ValueAt(t) : 1.0f);
    IdentityMatrices();
    FlatPictureState();
    BindTexture(*scene.fgImage, 0);
    DrawFullScreenQuad();
    if (scene.fgDissolve) glColor4f(1, 1, 1, 1);
  }
  glFlush();
}

}  // namespace stagwerk
