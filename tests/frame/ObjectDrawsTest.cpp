// Objects in the built frame: the state their flags select, dissolve and
// blur fade, state one object leaves the next and the flares, sprites, and
// the morphing copies; deep chains in linear time.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "SceneFixtures.h"
#include "frame/FrameBuilder.h"
#include "objects/Mesh.h"

namespace stagwerk {
namespace {

using testing::ObjectBlock;
using testing::WideCamera;

class ObjectDraws : public ::testing::Test {
 protected:
  const Frame& Build(Scene& scene, float t = 0.0f) {
    builder_.ActivateScene(scene);
    return builder_.Build(scene, t, *scene.cameras.head());
  }
  // The object draws of a frame: everything but the clears.
  std::vector<Draw> Objects(Scene& scene, float t = 0.0f) {
    std::vector<Draw> draws;
    for (const Draw& draw : Build(scene, t).draws) {
      if (draw.kind != DrawKind::ClearColour && draw.kind != DrawKind::ClearDepth) draws.push_back(draw);
    }
    return draws;
  }
  testing::SceneFolder demo_;
  FrameBuilder builder_{1.0f};
};

TEST_F(ObjectDraws, FlagsDissolveAndBlurFadeSetStateAndColour) {
  demo_.AddMesh("Sq", testing::Square(1, 5));
  const std::string objects = ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnaffectedByFog 1\n") +
                              ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnseenByRays 1\nUnseenByCamera 1\n") +
                              ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnseenByAlphaChannel 1\n");
  const auto plain = Objects(demo_.Load(testing::SceneHeader() + WideCamera() + objects));
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(plain[0].state.colour, (std::array<float, 4>{1, 1, 1, 0.75f}));
  EXPECT_EQ(plain[0].state.bits & 0xFFu, kDepthTest | kDepthWrite | kBlend | kBlendAlpha);
  // Additive fades by darkening, writes no depth, here tests none either.
  EXPECT_EQ(plain[1].state.colour, (std::array<float, 4>{0.75f, 0.75f, 0.75f, 1}));
  EXPECT_EQ(plain[1].state.bits & 0xFFu, kLighting | kBlend | kBlendAdditive);
  EXPECT_EQ(plain[2].state.bits & 0xFFu, kLighting | kDepthTest | kDepthWrite | kBlendAlpha);

  // Under a blur length of 0.5 the fade halves again.
  const auto blurred = Objects(demo_.Load(testing::SceneHeader() +
                                          WideCamera("MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n") + objects));
  EXPECT_EQ(blurred[0].state.colour, (std::array<float, 4>{1, 1, 1, 0.375f}));
  EXPECT_EQ(blurred[1].state.colour, (std::array<float, 4>{0.375f, 0.375f, 0.375f, 1}));
}

TEST_F(ObjectDraws, FlaresInheritWhatTheLastObjectLeft) {
  Kq7Description shiny = testing::Square(1, 5);
  shiny.flags |= HasTexture | HasSecondTexture;
  shiny.textureName = "Tex";
  shiny.secondTextureName = "Tex2";
  shiny.uvs = {{0, 0}};
  shiny.uvIndices = {0, 0, 0, 0};
  shiny.uvs2 = {{0.25f, 0.5f}, {0.75f, 1}};
  shiny.uv2Indices = {0, 0, 0, 1};
  demo_.AddMesh("Shiny", shiny);
  demo_.AddWhiteJpeg("Tex");
  demo_.AddWhiteJpeg("Tex2");
  demo_.AddWhiteJpeg("Sun");
  const std::string sun = testing::LightBlock("Sun", "LightIntensity 1\n", "LightType 1\n",
                                              "FlareIntensity 0.5\nFlareNominalDistance 10\nLensFlareFade 24\n");
  Scene& scene = demo_.Load(testing::SceneHeader() + "FogType 1\n" + WideCamera() +
                            ObjectBlock("Shiny", 0, 0, 0, "LineThickness 2 0 0 0\nUnseenByAlphaChannel 1\n") + sun);
  const Frame& frame = Build(scene);
  const Draw& flare = frame.draws.back();
  ASSERT_EQ(flare.kind, DrawKind::Flare);
  // Blending off and unit 1 with the second texture, as the object left them;
  // its last corner's coordinates are current.
  EXPECT_FALSE(flare.state.Has(kBlend));
  EXPECT_TRUE(flare.state.UnitHas(1, kUnitTexture));
  EXPECT_EQ(flare.state.units[1].rgbScale, 2.0f);
  EXPECT_EQ(flare.unit1Coord, (std::array<float, 2>{0.75f, 1}));
  // Its own: additive, no lighting or depth writes, depth test and fog from
  // its fade bits, the flare texture on unit 0, colour by intensity.
  EXPECT_EQ(flare.state.bits & 0xFFu, kDepthTest | kFog | kBlendAdditive);
  EXPECT_EQ(flare.state.units[0].texture, scene.lights.head()->flareTexture->renderHandle);
  EXPECT_EQ(flare.state.colour, (std::array<float, 4>{0.5f, 0.25f, 0.125f, 1}));
  EXPECT_FLOAT_EQ(flare.size, 2.0f);
  // After the frame lighting and depth writes are back on.
  EXPECT_TRUE(builder_.state().lighting);
  EXPECT_TRUE(builder_.state().depthWrite);
}

TEST_F(ObjectDraws, SpritesSitAtTheirEyePositionsWhateverTheScale) {
  Kq7Description points;
  points.positions = {{0.1f, 0, 0}, {0, 1, 0}};
  demo_.AddMesh("Points", points);
  Scene& scene = demo_.Load(testing::SceneHeader() + WideCamera() +
                            "LoadObjectLayer 1 Objects/Points.lwo\nShowObject 6 3\nObjectMotion\n" +
                            testing::Channels({0, 0, 5, 0, 0, 0, 3, 3, 3}) + "PolygonSize 0.25\nShadowOptions 7\n");
  const auto draws = Objects(scene);
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].kind, DrawKind::Sprites);
  EXPECT_FLOAT_EQ(draws[0].size, 0.25f);
  EXPECT_FALSE(draws[0].state.UnitHas(0, kUnitTexture));  // no texture named: plain squares
  ASSERT_EQ(draws[0].count, 2u);
  const Frame& frame = Build(scene);
  const std::vector<float> want{0.3f, 0, -5, 0, 3, -5};
  ASSERT_EQ(frame.points.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_FLOAT_EQ(frame.points[i], want[i]) << i;
}

TEST_F(ObjectDraws, MorphAmountsChainsAndTheMixer) {
  Kq7Description base = testing::Square(1, 0);
  base.flags |= HasMorphTargets;
  base.morphTargets = {{{0, 0, 2, 0}}, {{0, 0, 4, 1}}};
  demo_.AddMesh("Base", base);
  demo_.AddMesh("Big", testing::Square(3, 0));
  auto morph = [](int target, const std::string& amount) {
    return "MorphAmount (envelope)\n" + amount + "MorphTarget " + std::to_string(target) + "\nMorphSurfaces 0\n";
  };
  auto mixer = [](const std::string& a, const std::string& b) {
    return "Plugin MorphDeformer 1 LW_MorphMixer 2 1 g x 2 a b\nc d e f\n" + a + "x\nc d e f\n" + b + "x\nEndPlugin\n";
  };
  // c <- b <- a: b is the base towards the big square, a the base towards b's copy.
  const std::string ramp = testing::LinearEnvelope({{0, 0}, {1, 1}});
  Scene& scene = demo_.Load(testing::SceneHeader() + WideCamera() + ObjectBlock("Big", 0, 0, 5) +
                            ObjectBlock("Base", 0, 0, 5, morph(1, ramp)) + ObjectBlock("Base", 0, 0, 5, morph(2, ramp)) +
                            ObjectBlock("Base", 0, 0, 5,
                                        mixer(testing::LinearEnvelope({{0.5f, 0}}),
                                              testing::LinearEnvelope({{0.0001f, 0}, {0.00011f, 1}}))));
  auto firstX = [](const Draw& d) { return d.mesh->positions()[0]; };
  for (float t : {0.0f, 0.5f, 1.0f}) {
    const auto draws = Objects(scene, t);
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[1].kind, DrawKind::MorphedMesh);
    EXPECT_FLOAT_EQ(firstX(draws[1]), -1.0f - 2.0f * t) << t;
    EXPECT_FLOAT_EQ(firstX(draws[2]), -1.0f + (firstX(draws[1]) + 1.0f) * t) << t;
  }
  // The mixer adds weighted deltas to the mesh's own shape, only above 0.0001.
  const Mesh& mixed = *Objects(scene, 0.0f)[3].mesh;
  EXPECT_FLOAT_EQ(mixed.positions()[2], 1.0f);  // vertex 0 z: 0.5 x 2
  EXPECT_FLOAT_EQ(mixed.positions()[5], 0.0f);  // vertex 1: at the threshold
  EXPECT_NEAR(Objects(scene, 1.0f)[3].mesh->positions()[5], 0.00044f, 1e-7f);
}

TEST_F(ObjectDraws, DeepParentAndMorphChainsLoadAndDrawInLinearTime) {
  // As deep as a parent reference reaches: each object is the child of the
  // one before it and morphs towards the one after it. Walking every chain
  // from every item took seconds here; once each is a fraction of one.
  Kq7Description base = testing::Square(1, 0);
  base.flags |= HasMorphTargets;
  base.morphTargets = {{{0, 0, 0, 0}}};
  demo_.AddMesh("Base", base);
  demo_.AddMesh("Big", testing::Square(3, 0));
  constexpr int kDepth = 65536;
  std::string text = testing::SceneHeader() + WideCamera();
  char line[256];
  for (int i = 0; i < kDepth; ++i) {
    const bool last = i + 1 == kDepth;
    std::snprintf(line, sizeof line,
                  "LoadObjectLayer 1 Objects/%s.lwo\nObjectMotion\nNumChannels 1\nChannel 0\n"
                  "{ Envelope\n 1\n Key %s 0 0 0 0 0 0 0 0\n Behaviors 1 1\n}\n",
                  last ? "Big" : "Base", i == 0 ? "0" : "0.25");
    text += line;
    if (i > 0) {
      std::snprintf(line, sizeof line, "ParentItem 1%07x\n", i - 1);
      text += line;
    }
    if (!last) {
      std::snprintf(line, sizeof line, "MorphAmount 1\nMorphTarget %d\nMorphSurfaces 0\n", i + 2);
      text += line;
    }
    text += "ShadowOptions 7\n";
  }
  const auto start = std::chrono::steady_clock::now();
  Scene& scene = demo_.Load(text);
  const Frame& frame = Build(scene);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 4.0 * STAGWERK_SLOW_BUILD_FACTOR);  // about 1 s here, under load

  ASSERT_EQ(scene.objects.count(), kDepth);
  std::vector<const Draw*> objects;
  for (const Draw& draw : frame.draws) {
    if (draw.kind == DrawKind::MorphedMesh || draw.kind == DrawKind::Mesh) objects.push_back(&draw);
  }
  ASSERT_EQ(objects.size(), std::size_t{kDepth});
  // The first copy was blended all the way down to the big square; the last
  // object sits at the end of every parent's step along X.
  EXPECT_FLOAT_EQ(objects.front()->mesh->positions()[0], -3.0f);
  EXPECT_FLOAT_EQ(objects.back()->modelview.m[12], 0.25f * (kDepth - 1));
}

}  // namespace
}  // namespace stagwerk
