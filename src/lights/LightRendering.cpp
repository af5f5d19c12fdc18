#include "lights/LightRendering.h"

#include <algorithm>

#include "gl/GlState.h"
#include "lights/Light.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

constexpr float kFlareSizeFactor = 0.2f;
constexpr int32_t kFlareDepthTest = 8;
constexpr int32_t kFlareFog = 16;

}  // namespace

float SpotCutoff(float coneAngle) {
  if (coneAngle == 180.0f) return coneAngle;
  // GL refuses anything else above 90 and keeps the previous light's cut-off.
  return std::clamp(coneAngle, 0.0f, 90.0f);
}

void EnableGlLight(const Light& light) {
  glEnable(light.glLight);
  if (light.type == 1 || light.type == 0) glLighti(light.glLight, GL_SPOT_CUTOFF, 180);
}

void SetupGlLight(Light& light, float time, const Matrix4& view) {
  Matrix4 modelview = view;
  ApplyItemTransform(modelview, light, time);
  glLoadMatrixf(modelview.m.data());
  // A direction towards the light, at infinity behind its -Z: light travels
  // along +Z, as a spot's does.
  static const GLfloat kDistant[4] = {0.0f, 0.0f, -1.0f, 0.0f};
  static const GLfloat kAtOrigin[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  glLightfv(light.glLight, GL_POSITION, light.type == 0 ? kDistant : kAtOrigin);
  const float i = light.intensity.ValueAt(time);
  const GLfloat diffuse[4] = {i * light.color[0], i * light.color[1], i * light.color[2], 1.0f};
  glLightfv(light.glLight, GL_DIFFUSE, diffuse);
  if (light.type == 2) {
    const float cone = light.coneAngle ? light.coneAngle->ValueAt(time) : 180.0f;
    glLightf(light.glLight, GL_SPOT_CUTOFF, SpotCutoff(cone));
    static const GLfloat kSpotDirection[3] = {0.0f, 0.0f, 1.0f};
    glLightfv(light.glLight, GL_SPOT_DIRECTION, kSpotDirection);
  }
}

void DrawFlare(Light& light, float time, const Matrix4& view) {
  Matrix4 m = view;
  ApplyItemTransform(m, light, time);
  if (light.lensFlareFade & kFlareDepthTest) {
    glEnable(GL_DEPTH_TEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  if (light.lensFlareFade & kFlareFog) {
    glEnable(GL_FOG);
  } else {
    glDisable(GL_FOG);
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
  if (light.flareTexture != nullptr) {
    glEnable(light.flareTexture->target);
    glBindTexture(light.flareTexture->target, light.flareTexture->glName);
  }
  glLoadIdentity();
  glTranslatef(m[12], m[13], m[14]);
  const float f = light.flareIntensity ? light.flareIntensity->ValueAt(time) : 0.0f;
  const float d = light.flareDissolve.ValueAt(time);
  glColor4f(f * light.color[0], f * light.color[1], f * light.color[2], 1.0f - d);
  const float s = light.flareNominalDistance.ValueAt(time) * kFlareSizeFactor;
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex3f(-s, -s, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-s, s, 0);
  glTexCoord2f(1, 0);
  glVertex3f(s, -s, 0);
  glTexCoord2f(1, 1);
  glVertex3f(s, s, 0);
  glEnd();
}

}  // namespace stagwerk
