// A built frame's passes in their order, and the values the frame takes from
// the scene and the camera: clears, pictures, fog, projection, ambient light.
#include <gtest/gtest.h>

#include "SceneFixtures.h"
#include "frame/FrameBuilder.h"

namespace stagwerk {
namespace {

using testing::ObjectBlock;
using testing::WideCamera;

std::vector<DrawKind> Kinds(const Frame& frame) {
  std::vector<DrawKind> kinds;
  for (const Draw& draw : frame.draws) kinds.push_back(draw.kind);
  return kinds;
}

class FramePasses : public ::testing::Test {
 protected:
  const Frame& Build(Scene& scene, float t) {
    builder_.ActivateScene(scene);
    return builder_.Build(scene, t, *scene.cameras.head());
  }
  testing::SceneFolder demo_;
  FrameBuilder builder_{1.0f};
};

TEST_F(FramePasses, PicturesClearsObjectsFlaresInTheirOrder) {
  using enum DrawKind;
  demo_.AddMesh("Sq", testing::Square(1, 5));
  demo_.AddWhiteJpeg("Sun");
  demo_.dir.Write("pictures/back.tga", testing::SolidTga(2, 2, {255, 0, 0}));
  const std::string sun = testing::LightBlock("Sun", "LightIntensity 1\n", "LightType 1\n",
                                              "FlareIntensity 1\nFlareNominalDistance 5\nLensFlareFade 0\n");
  Scene& plain = demo_.Load(testing::SceneHeader() + WideCamera() + ObjectBlock("Sq", 0, 0, 0) + sun);
  EXPECT_EQ(Kinds(Build(plain, 0)), (std::vector{ClearColour, ClearDepth, Mesh, Flare}));

  // A blurred camera keeps the frames before: no colour clear...
  const std::string blur = WideCamera("MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n");
  Scene& blurred = demo_.Load(testing::SceneHeader() + blur + ObjectBlock("Sq", 0, 0, 0));
  EXPECT_EQ(Kinds(Build(blurred, 0)), (std::vector{ClearDepth, Mesh}));
  // ... unless a background picture covers them, drawn flat without blending.
  Scene& pictures = demo_.Load(testing::SceneHeader() + "BGImage 1 0 0 0 \"pictures/back.tga\"\n" +
                               "FGImage 1 0 0 0 \"pictures/back.tga\"\nFGDissolve (envelope)\n" +
                               testing::LinearEnvelope({{0, 0}, {1, 1}}) + blur + ObjectBlock("Sq", 0, 0, 0));
  const Frame& frame = Build(pictures, 0.25f);
  ASSERT_EQ(Kinds(frame), (std::vector{Picture, ClearDepth, Mesh, Picture}));
  const Draw& back = frame.draws[0];
  EXPECT_EQ(back.state.bits & (kBlend | kLighting | kFog | kDepthTest), 0u);
  EXPECT_EQ(back.state.colour, (std::array<float, 4>{1, 1, 1, 1}));
  EXPECT_EQ(back.state.units[0].texture, pictures.bgImage->renderHandle);
  EXPECT_TRUE(back.state.UnitHas(0, kUnitTexture));
  EXPECT_FALSE(back.state.UnitHas(1, kUnitTexture));
  // The foreground fades by its dissolve, blended over the frame.
  const Draw& fore = frame.draws[3];
  EXPECT_EQ(fore.state.colour, (std::array<float, 4>{1, 1, 1, 0.75f}));
  EXPECT_TRUE(fore.state.Has(kBlendAlpha));
  EXPECT_TRUE(fore.state.Has(kBlend));
  EXPECT_FALSE(fore.state.Has(kDepthTest));
}

TEST_F(FramePasses, FogProjectionAndAmbientComeFromTheirEnvelopes) {
  Scene& foggy = demo_.Load(testing::SceneHeader() + "FogType 1\nFogMinDistance (envelope)\n" +
                            testing::LinearEnvelope({{2, 0}, {4, 1}}) + "FogMaxDistance (envelope)\n" +
                            testing::LinearEnvelope({{50, 0}, {100, 1}}) + "FogColor 0.5 0.25 1\n" +
                            "AmbientColor 1 0.5 0\nAmbientIntensity 0.5\nBackdropColor 0 1 0\n" + WideCamera());
  const Frame& frame = Build(foggy, 0.5f);
  EXPECT_FLOAT_EQ(frame.fogStart, 3.0f);
  EXPECT_FLOAT_EQ(frame.fogEnd, 75.0f);
  EXPECT_EQ(frame.fogColour, (std::array<float, 4>{0.5f, 0.25f, 1, 1}));
  EXPECT_EQ(frame.clearColour, (std::array<float, 4>{0, 1, 0, 0}));
  EXPECT_EQ(frame.ambient, (std::array<float, 4>{0.5f, 0.25f, 0, 1}));
  EXPECT_FLOAT_EQ(frame.projection.fieldOfView, 90.0f);  // zoom 1
  EXPECT_FLOAT_EQ(frame.projection.farPlane, 75.0f);
  EXPECT_TRUE(builder_.state().fog);

  // Fog off: the far plane is still the fog's far distance, and the fog
  // range stays as the scene before left it.
  Scene& clear = demo_.Load(testing::SceneHeader() + "FogType 0\nFogMaxDistance 40\nNearClipDistance 0.5\n" +
                            WideCamera());
  const Frame& next = Build(clear, 0.0f);
  EXPECT_FLOAT_EQ(next.projection.farPlane, 40.0f);
  EXPECT_FLOAT_EQ(next.projection.nearPlane, 0.5f);
  EXPECT_FLOAT_EQ(next.fogEnd, 75.0f);
  EXPECT_FALSE(builder_.state().fog);
}

TEST_F(FramePasses, ObjectsAndTheirParentsArePlacedUnderTheMirroredView) {
  demo_.AddMesh("Sq", testing::Square(0.5f));
  Scene& scene = demo_.Load(testing::SceneHeader() + WideCamera() +
                            "AddNullObject Mover\nShowObject 6 3\nObjectMotion\n" + testing::Motion9(2, 0, 0) +
                            "ShadowOptions 7\n\n" + ObjectBlock("Sq", 0, 0, 5, "", "ParentItem 10000000\n") +
                            ObjectBlock("Sq", 0, 0, 5, "ObjectDissolve 1.0\n"));
  const Frame& frame = Build(scene, 0.0f);
  // The null object and the fully dissolved one draw nothing; the child sits
  // at (2, 0, 5) under the view's mirrored Z.
  ASSERT_EQ(frame.draws.size(), 3u);
  const Matrix4& m = frame.draws[2].modelview;
  EXPECT_EQ((std::array<float, 3>{m[12], m[13], m[14]}), (std::array<float, 3>{2, 0, -5}));
  EXPECT_EQ(frame.draws[2].mesh, scene.objects.At(1)->mesh);
}

TEST_F(FramePasses, TheSameTimeGivesTheSameFrame) {
  // A light parented to the camera fills the camera's cache with its world
  // matrix; the next frame at the same time must still see the camera's view.
  Scene& scene = demo_.Load(testing::SceneHeader() + "AddCamera\nCameraName C\nShowCamera 1 2\nCameraMotion\n" +
                            testing::Motion6(1, 2, 3) + "ZoomFactor 1\nResolutionMultiplier 1.0\n" +
                            "FrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\nMotionBlur 0\n" +
                            "FieldRendering 0\nDepthOfField 0\n\n" +
                            testing::LightBlock("L", "LightIntensity 1\n", "LightType 1\n", "ShadowType 1\n",
                                                "ParentItem 30000000\n"));
  const std::array<float, 4> first = Build(scene, 0.5f).lights[0].position;
  EXPECT_EQ(first, (std::array<float, 4>{0, 0, 0, 1}));  // at the camera
  EXPECT_EQ(Build(scene, 0.5f).lights[0].position, first);
}

}  // namespace
}  // namespace stagwerk
