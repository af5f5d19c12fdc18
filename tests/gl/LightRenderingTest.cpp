// Lights in GL: spot cut-off and direction, distant lights that shine, and
// lens flares with and without the depth test.
#include "GlTestSupport.h"
#include "anim/Matrix4.h"
#include "lights/Light.h"
#include "lights/LightRendering.h"
#include "scene/FrameRenderer.h"

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;
using testing::ObjectBlock;
using testing::WideCamera;

MotionChannels Channels(const std::vector<float>& values) {
  const std::string text = testing::Channels(values);
  SceneReader reader{text};
  return ReadMotionChannels(reader);
}

// A light block at (x, y, z) with heading h, of the given type, then rest.
std::string LightAt(const std::string& name, float x, float y, float z, float h, int type, const std::string& rest) {
  return "AddLight\nLightName " + name + "\nShowLight 0 7\nLightMotion\n" + testing::Channels({x, y, z, h, 0, 0}) +
         "LightColor 1 0.5 0.25\nLightIntensity 1\nLightType " + std::to_string(type) + "\n" + rest + "\n";
}

class LightRendering : public GlTest {};

TEST_F(LightRendering, SpotCutOffAndDirectionFollowTheLight) {
  Light spot;
  spot.type = 2;
  spot.glLight = GL_LIGHT0;
  spot.intensity.value = 1;
  spot.coneAngle = std::make_unique<ScalarOrEnvelope>(ScalarOrEnvelope{30.0f, nullptr});
  spot.motion = Channels({0, 0, 0, 1.5707964f, 0, 0});  // heading 90 degrees
  SetupGlLight(spot, 0.0f, Matrix4{});
  GLfloat cutoff = 0, direction[4] = {};
  glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
  EXPECT_EQ(cutoff, 30.0f);
  glGetLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
  EXPECT_NEAR(direction[0], 1.0f, 1e-5f);  // its +Z turned onto +X
  EXPECT_NEAR(direction[2], 0.0f, 1e-5f);

  // Above 90 GL would refuse the cone and keep the 30 from before.
  spot.coneAngle->value = 120.0f;
  spot.cachedTime = -1.0f;
  SetupGlLight(spot, 0.0f, Matrix4{});
  glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
  EXPECT_EQ(cutoff, 90.0f);
  EXPECT_EQ(SpotCutoff(180.0f), 180.0f);
  EXPECT_EQ(SpotCutoff(-5.0f), 0.0f);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // A point or distant light taking the GL light over clears the cone.
  Light point;
  point.type = 1;
  point.glLight = GL_LIGHT0;
  EnableGlLight(point);
  glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
  EXPECT_EQ(cutoff, 180.0f);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

TEST_F(LightRendering, ADistantLightLightsTheQuadItFacesAndNotTheOneBehindIt) {
  testing::GlScenes demo;
  demo.AddMesh("Sq", testing::Square(1, 5));  // faces the camera at the origin
  auto brightness = [&](float heading) {
    Scene& scene = demo.Load(testing::SceneHeader() + WideCamera() + ObjectBlock("Sq", 0, 0, 0) +
                             LightAt("Sun", 0, 0, -100, heading, 0, "ShadowType 1\n"));
    ActivateScene(scene);
    RenderFrame(scene, 0.0f, *scene.cameras.head(), 1.0f);
    return Pixel(32, 32)[0];
  };
  EXPECT_GT(brightness(0.0f), 240);                 // shining along +Z, onto the quad's face
  EXPECT_LT(brightness(3.1415927f), 20);            // turned round: ambient light only
  EXPECT_GT(brightness(0.5f), brightness(1.0f));  // glancing light is weaker
}

TEST_F(LightRendering, AFlareIsAScreenSquareHiddenOnlyWithTheDepthBit) {
  testing::GlScenes demo;
  demo.AddWhiteJpeg("Glow");
  Kq7Description black = testing::Square(1, 3);
  black.flags |= HasColours;
  black.colours = {{0, 0, 0, 1}};
  black.colourIndices = {0, 0, 0, 0};
  demo.AddMesh("Black", black);
  auto flare = [&](int fade, bool blocker) {
    const std::string flareLines = "FlareIntensity 1\nFlareNominalDistance 5\nFlareDissolve 0\nLensFlareFade " +
                                   std::to_string(fade) + "\nShadowType 1\n";
    Scene& scene = demo.Load(testing::SceneHeader() + WideCamera() +
                             (blocker ? ObjectBlock("Black", 0, 0, 0, "UnaffectedByFog 1\n") : "") +
                             LightAt("Glow", 0, 0, 5, 0, 1, flareLines));
    ActivateScene(scene);
    RenderFrame(scene, 0.0f, *scene.cameras.head(), 1.0f);
  };
  flare(0, false);
  // Side 2 in eye units at depth 5: 12.8 pixels wide around the centre.
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 64, -1}));
  EXPECT_TRUE(Near(Pixel(26, 32), {255, 128, 64, -1}));
  EXPECT_TRUE(Near(Pixel(37, 37), {255, 128, 64, -1}));
  EXPECT_TRUE(Near(Pixel(24, 32), {0, 0, 0, -1}));
  EXPECT_TRUE(Near(Pixel(32, 40), {0, 0, 0, -1}));
  flare(8, true);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, -1}));
  flare(0, true);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 64, -1}));
}

}  // namespace
}  // namespace stagwerk
