// What a material and a lightless file become: the player has corner
// colours, unlit objects and its lights, so base colour, alpha mode, glow
// and a viewer's default light must end up there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "LightWaveFiles.h"
#include "SceneFiles.h"
#include "kq7/formats/demoscene/DefaultLights.h"
#include "kq7/formats/lightwave/LightWaveObject.h"

namespace stagwerk::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::FloatNear;
using ::testing::HasSubstr;

float Srgb(float x) { return x <= 0.0031308f ? 12.92f * x : 1.055f * std::pow(x, 1 / 2.4f) - 0.055f; }

GltfPrimitive Triangle(const std::string& material) {
  GltfPrimitive g;
  g.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  g.indices = {0, 1, 2};
  g.colours = {{0.5f, 1, 1, 1}, {0.5f, 1, 1, 1}, {0.5f, 1, 1, 1}};
  g.material = material;
  return g;
}

std::array<float, 4> FirstCorner(const Mesh& mesh) {
  const std::size_t c = mesh.colourIndices()[0];
  return {mesh.colours()[4 * c], mesh.colours()[4 * c + 1], mesh.colours()[4 * c + 2], mesh.colours()[4 * c + 3]};
}

// Base colour times COLOR_0, both linear, shown through the sRGB curve; the
// alpha as the mode says.
TEST(Kq7Materials, GltfBaseColourAndAlphaModesBecomeCornerColours) {
  TempDir dir;
  const std::string factor = R"("pbrMetallicRoughness":{"baseColorFactor":[0.5,0.2,1,0.4]})";
  struct Case {
    std::string mode;
    float alpha;
  };
  for (const Case& c : {Case{"", 1}, Case{R"(,"alphaMode":"BLEND")", 0.4f}, Case{R"(,"alphaMode":"MASK")", 0},
                        Case{R"(,"alphaMode":"MASK","alphaCutoff":0.3)", 1}}) {
    SCOPED_TRACE(c.mode);
    const std::string in = dir.Write("m.gltf", GltfText(Triangle("{" + factor + c.mode + "}")));
    const ToolRun run = RunTool({"convert", in, dir / "m.kq7"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto mesh = LoadKq7(dir / "m.kq7");
    ASSERT_TRUE(mesh->Has(HasColours));
    EXPECT_THAT(FirstCorner(*mesh),
                ElementsAre(FloatNear(Srgb(0.25f), 1e-5), FloatNear(Srgb(0.2f), 1e-5), 1, c.alpha));
  }
}

// The player culls back faces: a two-sided open surface gets them, turned
// round on vertices of their own; a closed one is left as it is.
TEST(Kq7Materials, TwoSidedOpenSurfacesGetBackFaces) {
  TempDir dir;
  GltfPrimitive open = Triangle(R"({"doubleSided":true})");
  ASSERT_EQ(RunTool({"convert", dir.Write("open.gltf", GltfText(open)), dir / "open.kq7"}).status, 0);
  const auto sheet = LoadKq7(dir / "open.kq7");
  EXPECT_EQ(sheet->polygonCount(), 2);
  EXPECT_EQ(sheet->vertexCount(), 6);
  const auto corners = CornerPositions(*sheet);
  EXPECT_EQ(corners[1], (std::vector<std::array<float, 3>>{corners[0][2], corners[0][1], corners[0][0]}));

  GltfPrimitive closed = open;
  closed.positions.push_back({0, 0, 1});
  closed.colours.push_back({0.5f, 1, 1, 1});
  closed.indices = {0, 2, 1, 0, 1, 3, 1, 2, 3, 2, 0, 3};
  ASSERT_EQ(RunTool({"convert", dir.Write("closed.gltf", GltfText(closed)), dir / "closed.kq7"}).status, 0);
  EXPECT_EQ(LoadKq7(dir / "closed.kq7")->polygonCount(), 4);
}

// A glowing mesh is drawn unlit in its glow; a lightless file gets the
// default rig on its camera unless asked not to.
TEST(Kq7Materials, GlowIsUnlitAndLightlessScenesGetTheDefaultRig) {
  TempDir dir;
  GltfPrimitive g = Triangle(R"({"emissiveFactor":[1,0.5,0],"pbrMetallicRoughness":{"baseColorFactor":[0.2,0.2,0.2,1]}})");
  g.colours.clear();
  const std::string in = dir.Write("glow.gltf", GltfText(g));
  const ToolRun run = RunTool({"scene", in, dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("no lights: a default key, fill and ambient light are added"));
  const auto loaded = LoadDemoScene(dir / "data", "glow");
  const Scene& scene = *loaded->scene;
  const SceneObject& object = *scene.objects.At(0);
  EXPECT_TRUE(object.flags.Has(ObjectFlag::Unlit));
  EXPECT_THAT(FirstCorner(*object.mesh), ElementsAre(1, FloatNear(Srgb(0.5f), 1e-5), FloatNear(Srgb(0.2f), 1e-5), 1));
  ASSERT_EQ(scene.lights.count(), 2);
  for (const Light* light : {scene.lights.At(0), scene.lights.At(1)}) {
    EXPECT_EQ(light->type, LightType::Distant);
    ASSERT_TRUE(light->parentRef.has_value());
    EXPECT_EQ(light->parentRef->kind, ItemRef::kCamera);
  }
  EXPECT_FLOAT_EQ(scene.ambientIntensity.ValueAt(0), kq7::kDefaultAmbient);

  ASSERT_EQ(RunTool({"scene", in, dir / "dark", "--no-default-lights"}).status, 0);
  EXPECT_EQ(LoadDemoScene(dir / "dark", "glow")->scene->lights.count(), 0);
}

// LightWave: the diffuse level darkens the surface colour; a surface at
// full luminosity keeps its colour and makes its object glow.
TEST(Kq7Materials, LightWaveDiffuseLevelAndLuminosity) {
  using namespace lwo;
  TempDir dir;
  const auto object = [&](const std::string& shading) {
    return Form("LWO2", Tags({"Red"}) + Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                            Pols({{0, 1, 2}}) + Ptag({0}) +
                            Chunk("SURF", S0("Red") + S0("") + Sub("COLR", Vec({1, 0.5f, 0}) + VX(0)) + shading));
  };
  for (const auto& [shading, level, glows] : {std::tuple{Sub("DIFF", F4(0.5f) + VX(0)), 0.5f, false},
                                              std::tuple{Sub("DIFF", F4(0.5f) + VX(0)) + Sub("LUMI", F4(1) + VX(0)), 1.0f, true}}) {
    const std::string bytes = object(shading);
    const ToolRun run = RunTool({"convert", dir.Write("red.lwo", bytes), dir / "red.kq7"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(FirstCorner(*LoadKq7(dir / "red.kq7")), ElementsAre(level, 0.5f * level, 0, 1));
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(kq7::lightwave::LuminousObject(kq7::lightwave::ReadLightWaveObject(data, bytes.size(), "red.lwo")), glows);
  }
}

}  // namespace
}  // namespace stagwerk::testing
