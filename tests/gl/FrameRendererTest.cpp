// The frame's passes: blur trail and background, fog and far plane, the
// foreground's dissolve, scene activation, teardown of GL objects, and
// --render end to end on the bundled demo.
#include "GlTestSupport.h"
#include "PngFile.h"
#include "objects/SceneObject.h"
#include "scene/FrameRenderer.h"

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;
using testing::ObjectBlock;
using testing::WideCamera;

class FrameRenderer : public GlTest {};

TEST_F(FrameRenderer, ABlurredCameraKeepsThePreviousFrameUnlessABackgroundCoversIt) {
  testing::GlScenes demo;
  demo.AddMesh("Sq", testing::Square(1, 5));
  demo.dir.Write("pictures/back.tga", testing::SolidTga(2, 2, {255, 0, 0}));
  const std::string object = ObjectBlock("Sq", 0, 0, 0, "UnaffectedByFog 1\n");
  Scene& blurred = demo.Load(testing::SceneHeader() +
                             WideCamera("MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n") + object);
  Camera& camera = *blurred.cameras.head();
  ActivateScene(blurred);
  glClear(GL_COLOR_BUFFER_BIT);
  RenderFrame(blurred, 0.0f, camera, 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {128, 128, 128, -1}));  // alpha 0.5 over black
  RenderFrame(blurred, 0.04f, camera, 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {191, 191, 191, -1}));  // and again over the trail
  blurred.objects.head()->dissolve.reset();                 // gone: the trail stays
  RenderFrame(blurred, 0.08f, camera, 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {191, 191, 191, -1}));

  // A background picture overwrites the trail every frame.
  blurred.bgImage = &demo.textures().FindOrLoadPath(demo.dir / "pictures/back.tga");
  RenderFrame(blurred, 0.12f, camera, 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 255, -1}));

  // Without a blur length the frame starts from the backdrop colour.
  Scene& sharp = demo.Load(testing::SceneHeader() + "BackdropColor 0 1 0\n" + WideCamera());
  ActivateScene(sharp);
  RenderFrame(sharp, 0.0f, *sharp.cameras.head(), 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, -1}));
}

TEST_F(FrameRenderer, FogAndFarPlaneComeFromTheirEnvelopes) {
  testing::GlScenes demo;
  Scene& foggy = demo.Load(testing::SceneHeader() + "FogType 1\nFogMinDistance (envelope)\n" +
                           testing::LinearEnvelope({{2, 0}, {4, 1}}) + "FogMaxDistance (envelope)\n" +
                           testing::LinearEnvelope({{50, 0}, {100, 1}}) + "FogColor 0.5 0.25 1\n" + WideCamera());
  ActivateScene(foggy);
  RenderFrame(foggy, 0.5f, *foggy.cameras.head(), 1.0f);
  GLfloat start = 0, end = 0, colour[4] = {};
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  glGetFloatv(GL_FOG_COLOR, colour);
  EXPECT_FLOAT_EQ(start, 3.0f);
  EXPECT_FLOAT_EQ(end, 75.0f);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  EXPECT_FLOAT_EQ(colour[2], 1.0f);

  // Fog off: the far plane is still the fog's far distance.
  Scene& clear = demo.Load(testing::SceneHeader() + "FogType 0\nFogMaxDistance 40\nNearClipDistance 0.5\n" +
                           WideCamera());
  RenderFrame(clear, 0.0f, *clear.cameras.head(), 1.0f);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  GLfloat p[16] = {};
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  const float n = p[14] / (p[10] - 1.0f), f = p[14] / (p[10] + 1.0f);
  EXPECT_NEAR(n, 0.5f, 1e-4f);
  EXPECT_NEAR(f, 40.0f, 1e-2f);
  EXPECT_NEAR(p[5], 1.0f, 1e-5f);  // zoom 1: a 90 degree field of view
}

TEST_F(FrameRenderer, TheForegroundFadesWithItsDissolve) {
  testing::GlScenes demo;
  demo.dir.Write("pictures/white.tga", testing::SolidTga(2, 2, {255, 255, 255}));
  Scene& scene = demo.Load(testing::SceneHeader() + "FGImage 1 0 0 0 \"pictures/white.tga\"\n" +
                           "FGDissolve (envelope)\n" + testing::LinearEnvelope({{0, 0}, {1, 1}}) + WideCamera());
  ActivateScene(scene);
  RenderFrame(scene, 0.25f, *scene.cameras.head(), 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {191, 191, 191, -1}));
  std::array<float, 4> c{};
  glGetFloatv(GL_CURRENT_COLOR, c.data());
  EXPECT_EQ(c, (std::array<float, 4>{1, 1, 1, 1}));
  RenderFrame(scene, 1.0f, *scene.cameras.head(), 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, -1}));
}

TEST_F(FrameRenderer, ActivationSwitchesTheScenesLightsAndTeardownDeletesGlObjectsOnce) {
  GLuint textureName = 0, list = 0;
  {
    testing::GlScenes demo;
    demo.AddMesh("Sq", testing::Square(1, 5));
    demo.dir.Write("pictures/back.tga", testing::SolidTga(2, 2, {1, 2, 3}));
    std::string lights;
    for (int i = 0; i < 3; ++i) {
      lights += "AddLight\nLightName L" + std::to_string(i) + "\nShowLight 0 7\nLightMotion\n" + testing::Motion6() +
                "LightColor 1 1 1\nLightIntensity 1\nLightType 1\nShadowType 1\n\n";
    }
    for (GLenum i = 0; i < 8; ++i) glEnable(GL_LIGHT0 + i);
    Scene& scene = demo.Load(testing::SceneHeader() + "BGImage 1 0 0 0 \"pictures/back.tga\"\n" + WideCamera() +
                             ObjectBlock("Sq", 0, 0, 0) + ObjectBlock("Sq", 0, 0, 0) + lights);
    ActivateScene(scene);
    for (GLenum i = 0; i < 8; ++i) EXPECT_EQ(glIsEnabled(GL_LIGHT0 + i), i < 3) << "light " << i;
    textureName = scene.bgImage->glName;
    list = scene.objects.head()->mesh->displayList;
    ASSERT_EQ(demo.meshes().meshes().count(), 1);  // two objects, one mesh, one list
    EXPECT_TRUE(glIsTexture(textureName));
    EXPECT_TRUE(glIsList(list));
  }
  EXPECT_FALSE(glIsTexture(textureName));
  EXPECT_FALSE(glIsList(list));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(RenderCommand, DrawsABundledSceneWithNoDisplay) {
  testing::TempDir dir;
  const std::string out = dir / "still.png";
  const std::string demoDir = std::string(STAGWERK_TEST_DATA) + "/../../demo";
  // The driver the child loads and unloads again leaks on its own, under no
  // name LeakSanitizer can tell from ours; the in-process tests check ours.
  const std::string command = "cd '" + demoDir + "' && ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen DISPLAY= XDG_CONFIG_HOME='" +
                              dir.path().string() + "' '" STAGWERK_BINARY "' --render dawn --at 7.5 --size 320x240 --out '" +
                              out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const testing::Picture picture = testing::ReadPng(out);
  ASSERT_EQ(picture.width, 320);
  ASSERT_EQ(picture.height, 240);
  auto at = [&](int x, int y) { return picture.At(x, y); };
  // Dawn after its title has faded: the sky picture deep blue at the top,
  // the fogged rocky ground warm at the bottom, the sun's flare on the left,
  // a standing stone with blue runes left of the centre.
  for (int x : {20, 160, 300}) {
    EXPECT_GT(at(x, 5)[2], at(x, 5)[0] + 40) << x;
    const auto ground = at(x, 230);
    EXPECT_GT(ground[0], ground[1] + 15) << x;
    EXPECT_GT(ground[0], 50) << x;
  }
  const auto flare = at(44, 97);
  EXPECT_GT(flare[0], 230);
  EXPECT_GT(flare[1], 180);
  const auto stone = at(110, 120);
  EXPECT_GT(stone[2], stone[0] + 25);

  // Failures as for the other options.
  const std::string bad = "cd '" + demoDir + "' && ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=offscreen XDG_CONFIG_HOME='" + dir.path().string() +
                          "' '" STAGWERK_BINARY "' --render nowhere --at 1 --out '" + out + "' 2>'" + (dir / "err") + "'";
  EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 1);
  EXPECT_NE(testing::ReadFile(dir / "err").find("Loading Error: Cannot load file data/scenes/nowhere.lws"),
            std::string::npos)
      << testing::ReadFile(dir / "err");
  const std::string usage = "'" STAGWERK_BINARY "' --render dawn --out x.png 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(usage.c_str())), 2);
}

}  // namespace
}  // namespace stagwerk
