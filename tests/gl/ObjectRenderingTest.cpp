// Objects in the frame: dissolve and blur fade, flag states, vertex colours,
// parents that are never drawn, and morphing working copies.
#include "GlTestSupport.h"
#include "anim/Matrix4.h"
#include "objects/ObjectRendering.h"
#include "objects/SceneObject.h"
#include "scene/FrameRenderer.h"

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::Near;
using testing::ObjectBlock;
using testing::WideCamera;

std::array<float, 4> CurrentColour() {
  std::array<float, 4> c{};
  glGetFloatv(GL_CURRENT_COLOR, c.data());
  return c;
}

std::unique_ptr<Envelope> Constant(float value) {
  EnvelopeKey key;
  key.value = value;
  return std::make_unique<Envelope>(std::vector<EnvelopeKey>{key});
}

class ObjectRendering : public GlTest {};

TEST_F(ObjectRendering, DissolveAndBlurFadeSetColourAndState) {
  testing::GlScenes demo;
  demo.AddMesh("Sq", testing::Square(1, 5));
  Kq7Description coloured = testing::Square(1, 5);
  coloured.flags |= HasColours;
  coloured.colours = {{0, 1, 0, 1}};
  coloured.colourIndices = {0, 0, 0, 0};
  demo.AddMesh("Green", coloured);
  const std::string objects = ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnaffectedByFog 1\n") +
                              ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnseenByRays 1\nUnseenByCamera 1\n") +
                              ObjectBlock("Green", 0, 0, 0, "ObjectDissolve 0.5\nUnaffectedByFog 1\n") +
                              ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnseenByAlphaChannel 1\n");
  Scene& plain = demo.Load(testing::SceneHeader() + WideCamera() + objects);
  Scene& blurred =
      demo.Load(testing::SceneHeader() + WideCamera("MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n") + objects);
  const Matrix4 view;

  auto render = [&](Scene& scene, int index) {
    RenderObject(*scene.objects.At(index), 0.0f, *scene.cameras.head(), view);
  };
  render(plain, 0);
  EXPECT_EQ(CurrentColour(), (std::array<float, 4>{1, 1, 1, 0.75f}));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint source = 0, writes = 0;
  glGetIntegerv(GL_BLEND_SRC, &source);
  EXPECT_EQ(source, GL_SRC_ALPHA);

  render(plain, 1);  // additive: darkened, no depth writes, no depth test
  EXPECT_EQ(CurrentColour(), (std::array<float, 4>{0.75f, 0.75f, 0.75f, 1}));
  glGetIntegerv(GL_DEPTH_WRITEMASK, &writes);
  EXPECT_EQ(writes, GL_FALSE);
  glGetIntegerv(GL_BLEND_SRC, &source);
  EXPECT_EQ(source, GL_ONE);
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_LIGHTING));

  render(blurred, 0);
  EXPECT_EQ(CurrentColour(), (std::array<float, 4>{1, 1, 1, 0.375f}));
  render(blurred, 1);
  EXPECT_EQ(CurrentColour(), (std::array<float, 4>{0.375f, 0.375f, 0.375f, 1}));
  render(plain, 3);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // Vertex colours replace the object's colour at every corner: its dissolve
  // does not show, and the last corner's colour stays current.
  render(plain, 2);
  EXPECT_EQ(CurrentColour(), (std::array<float, 4>{0, 1, 0, 1}));

  // On screen: alpha 0.75 white over black, and the unfaded green.
  Scene& shown = demo.Load(testing::SceneHeader() + WideCamera() +
                           ObjectBlock("Sq", 0, 0, 0, "ObjectDissolve 0.25\nUnaffectedByFog 1\n"));
  ActivateScene(shown);
  RenderFrame(shown, 0.0f, *shown.cameras.head(), 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {191, 191, 191, -1}));
  Scene& green = demo.Load(testing::SceneHeader() + WideCamera() +
                           ObjectBlock("Green", 0, 0, 0, "ObjectDissolve 0.5\nUnaffectedByFog 1\n"));
  RenderFrame(green, 0.0f, *green.cameras.head(), 1.0f);
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 255, 0, -1}));
}

TEST_F(ObjectRendering, ANullParentMovesItsChildAndAFullyDissolvedObjectIsNotDrawn) {
  testing::GlScenes demo;
  demo.AddMesh("Sq", testing::Square(0.5f));
  const std::string mover = "AddNullObject Mover\nShowObject 6 3\nObjectMotion\n" + testing::Motion9(2, 0, 0) +
                            "ShadowOptions 7\n\n";
  Scene& scene = demo.Load(testing::SceneHeader() + WideCamera() + mover +
                           ObjectBlock("Sq", 0, 0, 5, "UnaffectedByFog 1\n", "ParentItem 10000000\n") +
                           ObjectBlock("Sq", 0, 0, 5, "ObjectDissolve 1.0\nUnaffectedByFog 1\n"));
  ASSERT_EQ(scene.objects.At(2)->dissolve, nullptr);
  ActivateScene(scene);
  RenderFrame(scene, 0.0f, *scene.cameras.head(), 1.0f);
  // The child sits at x 2 at depth 5: 0.4 of the half-width right of centre.
  EXPECT_TRUE(Near(Pixel(45, 32), {255, 255, 255, -1}));
  EXPECT_TRUE(Near(Pixel(32, 32), {0, 0, 0, -1}));
}

class Morphing : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    Kq7Description base = testing::Square(1, 0);
    base.flags |= HasMorphTargets;
    base.morphTargets = {{{0, 0, 2, 0}}, {{0, 0, 4, 1}}};
    mesh_ = testing::MakeMesh(base);
    target_ = testing::MakeMesh(testing::Square(3, 0));
  }
  std::unique_ptr<Mesh> mesh_, target_;
};

TEST_F(Morphing, AmountsBlendTowardsTheTargetAndTheMixerAddsWeightedDeltas) {
  SceneObject target;
  target.mesh = target_.get();
  SceneObject object;
  object.mesh = mesh_.get();
  object.morphMesh = Mesh::MakeMorphCopy(*mesh_);
  object.morphAmount = std::make_unique<ScalarOrEnvelope>();
  object.morphTargetNumber = 2;
  object.morphTarget = &target;
  object.dissolve = std::make_unique<ScalarOrEnvelope>();
  for (float amount : {0.0f, 0.5f, 1.0f}) {
    object.morphAmount->value = amount;
    DrawObject(object, 0.0f, Matrix4{});
    EXPECT_FLOAT_EQ(object.morphMesh->positions()[0], -1.0f - 2.0f * amount) << amount;
    EXPECT_FLOAT_EQ(object.morphMesh->positions()[7], 1.0f + 2.0f * amount) << amount;
  }

  // The mixer: weights above 0.0001 only, deltas added on top of the blend.
  object.flags = MorphMixer;
  object.mixerChannels.push_back(Constant(0.5f));
  object.mixerChannels.push_back(Constant(0.0001f));
  object.morphAmount->value = 0.0f;
  DrawObject(object, 0.0f, Matrix4{});
  EXPECT_FLOAT_EQ(object.morphMesh->positions()[2], 1.0f);  // vertex 0 z: 0.5 x 2
  EXPECT_FLOAT_EQ(object.morphMesh->positions()[5], 0.0f);  // vertex 1: weight at the threshold
  object.mixerChannels[1] = Constant(0.00011f);
  DrawObject(object, 0.0f, Matrix4{});
  EXPECT_NEAR(object.morphMesh->positions()[5], 0.00044f, 1e-7f);
  // Nothing carries over from one frame to the next.
  object.mixerChannels[0] = Constant(-1.0f);
  DrawObject(object, 0.0f, Matrix4{});
  EXPECT_FLOAT_EQ(object.morphMesh->positions()[2], 0.0f);

  // A mixer without a morph target starts from the mesh's own shape.
  object.morphTargetNumber = -1;
  object.morphTarget = nullptr;
  object.mixerChannels[0] = Constant(1.0f);
  DrawObject(object, 0.0f, Matrix4{});
  EXPECT_FLOAT_EQ(object.morphMesh->positions()[0], -1.0f);
  EXPECT_FLOAT_EQ(object.morphMesh->positions()[2], 2.0f);
}

TEST_F(Morphing, ChainsBlendFromTheirEnd) {
  // a -> b -> c: b's copy is b towards c, a's is a towards b's copy.
  SceneObject c, b, a;
  c.mesh = target_.get();
  b.mesh = mesh_.get();
  b.morphMesh = Mesh::MakeMorphCopy(*mesh_);
  b.morphAmount = std::make_unique<ScalarOrEnvelope>(ScalarOrEnvelope{0.5f, nullptr});
  b.morphTargetNumber = 3;
  b.morphTarget = &c;
  a.mesh = mesh_.get();
  a.morphMesh = Mesh::MakeMorphCopy(*mesh_);
  a.morphAmount = std::make_unique<ScalarOrEnvelope>(ScalarOrEnvelope{0.5f, nullptr});
  a.morphTargetNumber = 2;
  a.morphTarget = &b;
  BlendMorphChain(a, 0.0f);
  EXPECT_FLOAT_EQ(b.morphMesh->positions()[0], -2.0f);
  EXPECT_FLOAT_EQ(a.morphMesh->positions()[0], -1.5f);
}

}  // namespace
}  // namespace stagwerk
