// Both back ends turn each kind of record into the right pixels: clears,
// pictures, meshes as compiled and as morphed, sprites, flares, the light
// slots and the overlay; and give their GL objects back.
#include <bit>

#include "GlTestSupport.h"
#include "frame/BitmapFont.h"
#include "frame/Overlay.h"

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;
using testing::ObjectBlock;
using testing::WideCamera;

class DrawingTest : public GlTest {
 protected:
  explicit DrawingTest(RendererKind kind) : GlTest(64, 64, 0.0f, kind) {}
  void Draw(Scene& scene, float t = 0.0f) {
    builder_.ActivateScene(scene);
    renderer_->DrawFrame(builder_.Build(scene, t, *scene.cameras.head()));
  }
  FrameBuilder builder_{1.0f};
};

class RendererPixels : public DrawingTest, public ::testing::WithParamInterface<RendererKind> {
 protected:
  RendererPixels() : DrawingTest(GetParam()) {}
};

TEST_P(RendererPixels, ClearsAndPictures) {
  testing::GlScenes demo(*renderer_);
  demo.AddMesh("Sq", testing::Square(1, 5));
  demo.dir.Write("pictures/red.tga", testing::SolidTga(2, 2, {0, 0, 255}));
  demo.dir.Write("pictures/white.tga", testing::SolidTga(2, 2, {255, 255, 255}));
  Scene& backdrop = demo.Load(testing::SceneHeader() + "BackdropColor 0 1 0\n" + WideCamera());
  Draw(backdrop);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, -1}));

  // A blurred camera draws over the frames before: alpha 0.5 twice.
  Scene& blurred = demo.Load(testing::SceneHeader() + WideCamera("MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n") +
                             ObjectBlock("Sq", 0, 0, 0, "UnaffectedByFog 1\n"));
  Scene& black = demo.Load(testing::SceneHeader() + WideCamera());
  Draw(black);
  Draw(blurred, 0.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {128, 128, 128, -1}));
  Draw(blurred, 0.04f);
  EXPECT_TRUE(Near(Pixel(32, 32), {191, 191, 191, -1}));

  // Pictures: the background covers everything, the foreground fades.
  Scene& pictures = demo.Load(testing::SceneHeader() + "BGImage 1 0 0 0 \"pictures/red.tga\"\n" +
                              "FGImage 1 0 0 0 \"pictures/white.tga\"\nFGDissolve 0.75\n" + WideCamera());
  Draw(pictures);
  EXPECT_TRUE(Near(Pixel(5, 60), {255, 64, 64, -1}));
}

TEST_P(RendererPixels, MeshesSpritesAndMorphsWhereTheirRecordsPutThem) {
  testing::GlScenes demo(*renderer_);
  Kq7Description green = testing::Square(1, 5);
  green.flags |= HasColours;
  green.colours = {{0, 1, 0, 1}};
  green.colourIndices = {0, 0, 0, 0};
  demo.AddMesh("Green", green);
  demo.AddMesh("Small", testing::Square(0.5f));
  Kq7Description points;
  points.positions = {{0.1f, 0, 5}};
  demo.AddMesh("Points", points);
  // Vertex colours replace the object's, so its dissolve does not show.
  Draw(demo.Load(testing::SceneHeader() + WideCamera() +
                 ObjectBlock("Green", 0, 0, 0, "ObjectDissolve 0.5\nUnaffectedByFog 1\n")));
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, -1}));

  // A child of a null object at x 2, depth 5: 0.4 of the half-width right.
  Draw(demo.Load(testing::SceneHeader() + WideCamera() + "AddNullObject Mover\nShowObject 6 3\nObjectMotion\n" +
                 testing::Motion9(2, 0, 0) + "ShadowOptions 7\n\n" +
                 ObjectBlock("Small", 0, 0, 5, "UnaffectedByFog 1\n", "ParentItem 10000000\n")));
  EXPECT_TRUE(Near(Pixel(45, 32), {255, 255, 255, -1}));
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, -1}));

  // A sprite of half side 0.25 at x 0.1, depth 5: 0.05 of the half-width
  // each side of 0.02.
  Draw(demo.Load(testing::SceneHeader() + WideCamera() + "LoadObjectLayer 1 Objects/Points.lwo\nShowObject 6 3\n" +
                 "ObjectMotion\n" + testing::Channels({0, 0, 0, 0, 0, 0, 1, 1, 1}) +
                 "PolygonSize 0.25\nUnaffectedByFog 1\nShadowOptions 7\n"));
  EXPECT_TRUE(Near(Pixel(33, 32), {255, 255, 255, -1}));
  EXPECT_TRUE(Near(Pixel(36, 32), {0, 0, 0, -1}));

  // A morph halfway from the small square to a big one covers what neither
  // the small one nor the halfway point's outside would.
  Kq7Description small = testing::Square(0.5f, 5);
  demo.AddMesh("Near", small);
  demo.AddMesh("Far", testing::Square(2.5f, 5));
  Scene& morph = demo.Load(testing::SceneHeader() + WideCamera() + ObjectBlock("Far", 0, 0, 0, "ObjectDissolve 1\n") +
                           ObjectBlock("Near", 0, 0, 0, "MorphAmount 0.5\nMorphTarget 1\nMorphSurfaces 0\n"
                                                        "UnaffectedByFog 1\n"));
  Draw(morph);
  EXPECT_TRUE(Near(Pixel(32 + 9, 32), {255, 255, 255, -1}));   // half side 1.5 at depth 5: 9.6 px
  EXPECT_TRUE(Near(Pixel(32 + 11, 32), {0, 0, 0, -1}));
}

TEST_P(RendererPixels, LightsAndFlares) {
  testing::GlScenes demo(*renderer_);
  demo.AddMesh("Sq", testing::Square(1, 5));  // faces the camera at the origin
  auto brightness = [&](float heading) {
    Draw(demo.Load(testing::SceneHeader() + WideCamera() + ObjectBlock("Sq", 0, 0, 0) +
                   "AddLight\nLightName Sun\nShowLight 0 7\nLightMotion\n" +
                   testing::Channels({0, 0, -100, heading, 0, 0}) +
                   "LightColor 1 1 1\nLightIntensity 1\nLightType 0\nShadowType 1\n\n"));
    return Pixel(32, 32)[0];
  };
  EXPECT_GT(brightness(0.0f), 240);               // shining along +Z, onto the quad's face
  EXPECT_LT(brightness(3.1415927f), 20);          // turned round: ambient light only
  EXPECT_GT(brightness(0.5f), brightness(1.0f));  // glancing light is weaker

  demo.AddWhiteJpeg("Glow");
  Kq7Description black = testing::Square(1, 3);
  black.flags |= HasColours;
  black.colours = {{0, 0, 0, 1}};
  black.colourIndices = {0, 0, 0, 0};
  demo.AddMesh("Black", black);
  auto flare = [&](int fade, bool blocker) {
    Draw(demo.Load(testing::SceneHeader() + WideCamera() +
                   (blocker ? ObjectBlock("Black", 0, 0, 0, "UnaffectedByFog 1\n") : "") +
                   "AddLight\nLightName Glow\nShowLight 0 7\nLightMotion\n" + testing::Motion6(0, 0, 5) +
                   "LightColor 1 0.5 0.25\nLightIntensity 1\nLightType 1\nFlareIntensity 1\n"
                   "FlareNominalDistance 5\nFlareDissolve 0\nLensFlareFade " + std::to_string(fade) + "\n\n"));
  };
  flare(0, false);
  // Side 2 in eye units at depth 5: 12.8 pixels wide around the centre.
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 64, -1}));
  EXPECT_TRUE(Near(Pixel(26, 32), {255, 128, 64, -1}));
  EXPECT_TRUE(Near(Pixel(24, 32), {0, 0, 0, -1}));
  flare(8, true);  // the depth bit hides it behind the black square
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, -1}));
  flare(0, true);
  EXPECT_TRUE(Near(Pixel(32, 32), {255, 128, 64, -1}));
}

TEST_P(RendererPixels, OverlayOverTheWindowOnly) {
  testing::GlScenes demo(*renderer_);
  Draw(demo.Load(testing::SceneHeader() + WideCamera()));
  renderer_->PresentToWindow();
  Overlay overlay;
  overlay.lines = {"MM"};
  overlay.played = 0.5f;
  renderer_->DrawOverlay(overlay);
  const std::vector<unsigned char> window = renderer_->ReadWindow();
  auto at = [&](int x, int yFromTop) {
    const std::size_t i = 3 * (static_cast<std::size_t>(yFromTop) * 64 + static_cast<std::size_t>(x));
    return testing::Rgba{window[i], window[i + 1], window[i + 2], -1};
  };
  EXPECT_TRUE(Near(at(5, 58), {230, 138, 23, -1}));  // the played half of the seek bar
  EXPECT_TRUE(Near(at(40, 58), {0, 0, 0, -1}));
  int glyph = 0;
  for (uint8_t row : Glyph('M')) glyph += std::popcount(row);
  int white = 0;  // two M glyphs in the top left
  for (int y = 0; y < 14; ++y) {
    for (int x = 0; x < 24; ++x) white += at(x, y)[0] > 250;
  }
  EXPECT_EQ(white, 2 * glyph);
  for (unsigned char c : renderer_->ReadPicture()) ASSERT_EQ(c, 0);
}

INSTANTIATE_TEST_SUITE_P(BothBackEnds, RendererPixels,
                         ::testing::Values(RendererKind::FixedFunction, RendererKind::Shader),
                         [](const auto& info) { return info.param == RendererKind::Shader ? "Shader" : "Fixed"; });

class FixedFunctionTeardown : public DrawingTest {
 protected:
  FixedFunctionTeardown() : DrawingTest(RendererKind::FixedFunction) {}
};

TEST_F(FixedFunctionTeardown, GivesEveryGlObjectBackOnce) {
  GLuint texture = 0, list = 0;
  {
    testing::GlScenes demo(*renderer_);
    demo.AddMesh("Sq", testing::Square(1, 5));
    demo.dir.Write("pictures/back.tga", testing::SolidTga(2, 2, {1, 2, 3}));
    Scene& scene = demo.Load(testing::SceneHeader() + "BGImage 1 0 0 0 \"pictures/back.tga\"\n" + WideCamera() +
                             ObjectBlock("Sq", 0, 0, 0) + ObjectBlock("Sq", 0, 0, 0));
    Draw(scene);
    ASSERT_EQ(demo.meshes().meshes().count(), 1);  // two objects, one mesh, one list
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    texture = static_cast<GLuint>(bound);
    list = 1;  // the context's first
    EXPECT_TRUE(glIsTexture(texture));
    EXPECT_TRUE(glIsList(list));
  }
  EXPECT_FALSE(glIsTexture(texture));
  EXPECT_FALSE(glIsList(list));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

class ShaderTeardown : public DrawingTest {
 protected:
  ShaderTeardown() : DrawingTest(RendererKind::Shader) {}
  static int Buffers() {
    int live = 0;
    for (GLuint name = 1; name < 32; ++name) live += glIsBuffer(name) ? 1 : 0;
    return live;
  }
};

TEST_F(ShaderTeardown, GivesEveryGlObjectBackOnce) {
  GLuint texture = 0;
  int during = 0;
  {
    testing::GlScenes demo(*renderer_);
    demo.AddMesh("Sq", testing::Square(1, 5));
    demo.dir.Write("pictures/back.tga", testing::SolidTga(2, 2, {1, 2, 3}));
    Scene& scene = demo.Load(testing::SceneHeader() + "BGImage 1 0 0 0 \"pictures/back.tga\"\n" + WideCamera() +
                             ObjectBlock("Sq", 0, 0, 0) + ObjectBlock("Sq", 0, 0, 0));
    Draw(scene);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    texture = static_cast<GLuint>(bound);
    EXPECT_TRUE(glIsTexture(texture));
    during = Buffers();
  }
  EXPECT_FALSE(glIsTexture(texture));
  EXPECT_EQ(Buffers(), during - 1);  // two objects, one mesh, one buffer
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace stagwerk
