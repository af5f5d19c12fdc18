// Meshes into GL: texture units and combiners per flag combination,
// polygons by corner count, and point sets as screen-facing squares.
#include "GlTestSupport.h"
#include "anim/Matrix4.h"
#include "objects/SceneObject.h"

namespace stagwerk {
namespace {

using testing::GlTest;
using testing::MakeMesh;
using testing::MakeTexture;
using testing::Near;

struct UnitState {
  bool enabled;
  GLint mode;
  GLint combineRgb;  // only read in combine mode
  float scale;
  bool texgen;
  bool operator==(const UnitState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const UnitState& u) {
  return out << "{enabled " << u.enabled << ", mode 0x" << std::hex << u.mode << ", combine 0x" << u.combineRgb
             << std::dec << ", scale " << u.scale << ", texgen " << u.texgen << "}";
}

UnitState Unit(GLenum unit) {
  glActiveTextureARB(unit);
  UnitState s{};
  s.enabled = glIsEnabled(GL_TEXTURE_2D);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.mode);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, &s.combineRgb);
  if (s.mode != GL_COMBINE_ARB) s.combineRgb = 0;
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, &s.scale);
  s.texgen = glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T);
  return s;
}

class MeshDrawing : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    first_ = MakeTexture(1, 1, 1, {10});
    second_ = MakeTexture(1, 1, 1, {20});
  }
  // Each unit back to GL's defaults, so every case starts alike.
  void ResetUnits() {
    for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {
      glActiveTextureARB(unit);
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_TEXTURE_GEN_S);
      glDisable(GL_TEXTURE_GEN_T);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_MODULATE);
      glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1.0f);
    }
  }
  std::unique_ptr<Mesh> WithFlags(uint8_t flags) {
    Kq7Description d = testing::Square();
    d.flags = static_cast<uint8_t>(HasPolygons | flags);
    if (flags & HasTexture) {
      d.textureName = "first";
      d.uvs = {{0, 0}};
      d.uvIndices = {0, 0, 0, 0};
    }
    if (flags & HasEnvironmentMap) d.environmentMapName = "second";
    if (flags & HasSecondTexture) {
      d.secondTextureName = "second";
      d.uvs2 = {{0, 0}};
      d.uv2Indices = {0, 0, 0, 0};
    }
    return MakeMesh(d, [this](const std::string& name) { return name == "first" ? first_.get() : second_.get(); });
  }
  std::unique_ptr<Texture> first_, second_;
};

TEST_F(MeshDrawing, CombinerTableForEveryFlagCombination) {
  const UnitState off{false, GL_MODULATE, 0, 1.0f, false};
  const auto modulate = [](float scale) { return UnitState{true, GL_COMBINE_ARB, GL_MODULATE, scale, false}; };
  struct Case {
    uint8_t flags;
    uint32_t objectFlags;
    UnitState unit0, unit1;
  };
  const Case cases[] = {
      {0, 0, off, off},
      {0, DoubleBrightness, {false, GL_MODULATE, 0, 2.0f, false}, off},
      {HasTexture, 0, modulate(1), off},
      {HasTexture, QuadrupleBrightness, modulate(4), off},
      {HasTexture, DoubleBrightness | QuadrupleBrightness, modulate(2), off},
      {HasTexture | HasSecondTexture, DoubleBrightness, modulate(1), modulate(2)},
      // The scale lands on unit 0 too, since there is no second texture.
      {HasTexture | HasEnvironmentMap, QuadrupleBrightness, modulate(4),
       {true, GL_COMBINE_ARB, GL_ADD_SIGNED_ARB, 4.0f, true}},
      {HasEnvironmentMap, DoubleBrightness, {true, GL_MODULATE, 0, 2.0f, true}, off},
      {HasSecondTexture, QuadrupleBrightness, off, modulate(4)},
      {HasTexture | HasSecondTexture | HasEnvironmentMap, 0, modulate(1),
       {true, GL_COMBINE_ARB, GL_ADD_SIGNED_ARB, 1.0f, true}},
  };
  for (const Case& c : cases) {
    auto mesh = WithFlags(c.flags);
    ResetUnits();
    BindTextures(*mesh, c.objectFlags);
    const std::string label = "mesh flags " + std::to_string(c.flags) + ", object flags " + std::to_string(c.objectFlags);
    EXPECT_EQ(Unit(GL_TEXTURE0_ARB), c.unit0) << label;
    EXPECT_EQ(Unit(GL_TEXTURE1_ARB), c.unit1) << label;
  }
  // The bound textures: the first on unit 0, the second on unit 1.
  auto both = WithFlags(HasTexture | HasSecondTexture);
  BindTextures(*both, 0);
  GLint bound = 0;
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), first_->glName);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), second_->glName);
}

TEST_F(MeshDrawing, PolygonsOfThreeFourAndFiveCornersAreEachOnePrimitive) {
  Kq7Description d;
  d.flags = HasPolygons;
  // In clip space, clockwise: a triangle left, a square middle, and a
  // pentagon right whose fifth corner adds a corner its first four lack.
  d.positions = {{-0.9f, -0.5f, 0}, {-0.9f, 0.5f, 0}, {-0.5f, -0.5f, 0},
                 {-0.3f, -0.3f, 0}, {-0.3f, 0.3f, 0}, {0.1f, 0.3f, 0}, {0.1f, -0.3f, 0},
                 {0.4f, -0.3f, 0}, {0.4f, 0.3f, 0}, {0.6f, 0.9f, 0}, {0.8f, 0.3f, 0}, {0.8f, -0.3f, 0}};
  d.polygons = {{0, 1, 2}, {3, 4, 5, 6}, {7, 8, 9, 10, 11}};
  auto mesh = MakeMesh(d);
  EXPECT_NE(mesh->displayList, 0u);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_TEXTURE_2D);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor4f(1, 1, 1, 1);
  glCallList(mesh->displayList);
  EXPECT_TRUE(Near(Pixel(6, 28), {255, 255, 255, -1}));   // triangle
  EXPECT_TRUE(Near(Pixel(29, 32), {255, 255, 255, -1}));  // square
  EXPECT_TRUE(Near(Pixel(56, 26), {255, 255, 255, -1}));  // only the pentagon's fifth corner covers this
  EXPECT_TRUE(Near(Pixel(40, 60), {0, 0, 0, -1}));
  // The same in immediate mode, as morphing copies draw.
  glClear(GL_COLOR_BUFFER_BIT);
  DrawPolygons(*mesh);
  EXPECT_TRUE(Near(Pixel(56, 26), {255, 255, 255, -1}));
}

TEST_F(MeshDrawing, SpritesKeepTheirScreenSizeWhateverTheObjectScale) {
  Kq7Description points;
  points.flags = HasEnvironmentMap;  // a point set shows its second texture
  points.environmentMapName = "glow";
  points.positions = {{0.1f, 0, 0}};
  auto mesh = MakeMesh(points, [this](const std::string&) { return second_.get(); });
  EXPECT_EQ(mesh->displayList, 0u);
  auto coveredColumns = [&](float scale) {
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    Matrix4 modelview;
    modelview.Scale(scale, scale, scale);
    DrawSprites(*mesh, 0.25f, modelview);
    int first = -1, last = -1;
    for (int x = 0; x < 64; ++x) {
      if (Pixel(x, 32)[0] > 0) {
        if (first < 0) first = x;
        last = x;
      }
    }
    return std::pair(first, last);
  };
  EXPECT_EQ(coveredColumns(1), std::pair(27, 42));  // 0.1 +- 0.25 of 32 px
  const auto scaled = coveredColumns(3);            // the centre moves, the size stays
  EXPECT_EQ(scaled.second - scaled.first, 15);
  EXPECT_EQ(scaled.first, 34);
}

TEST_F(MeshDrawing, APointSetWithoutASecondTextureShowsPlainSquares) {
  Kq7Description points;
  points.positions = {{0, 0, 0}};
  auto mesh = MakeMesh(points);
  ASSERT_EQ(mesh->texture2(), nullptr);
  BindTexture(*first_, 0);  // whatever was bound before must not show
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(0.5f, 1, 1, 1);
  DrawSprites(*mesh, 0.5f, Matrix4{});
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(Near(Pixel(32, 32), {128, 255, 255, -1}));
}

}  // namespace
}  // namespace stagwerk
