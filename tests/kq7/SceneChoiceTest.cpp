// kq7 scene --list, --animation and --camera, and an orthographic glTF
// camera as the long lens that stands in for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "SceneFiles.h"
#include "SceneText.h"

namespace stagwerk::testing {
namespace {

using ::testing::HasSubstr;
using nlohmann::json;

// A triangle on a skinned node, two animations, a perspective camera, an
// orthographic one looking down from 10 up, and a spot light.
std::string ChoiceGltf() {
  const std::vector<float> floats = {0, 0, 0, 1, 0, 0, 0, 1, 0,  // positions
                                     0, 1, 0, 2,                 // key times
                                     0, 0, 0, 0, 0, 0,           // translations
                                     1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,  // weights
                                     0, 0, 0,                             // joints, as 12 bytes
                                     1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // inverse bind matrix
  const std::string bytes(reinterpret_cast<const char*>(floats.data()), floats.size() * 4);
  auto accessor = [](int offset, int count, const char* type, int component = 5126) {
    return json{{"bufferView", 0}, {"byteOffset", offset * 4}, {"componentType", component}, {"count", count}, {"type", type}};
  };
  json positions = accessor(0, 3, "VEC3");
  positions["min"] = {0, 0, 0};
  positions["max"] = {1, 1, 0};
  const double s = std::sqrt(0.5);
  json doc = {
      {"asset", {{"version", "2.0"}}},
      {"buffers", {{{"byteLength", bytes.size()}, {"uri", "data:application/octet-stream;base64," + Base64(bytes)}}}},
      {"bufferViews", {{{"buffer", 0}, {"byteLength", bytes.size()}}}},
      {"accessors", {positions, accessor(9, 2, "SCALAR"), accessor(11, 2, "SCALAR"), accessor(13, 2, "VEC3"),
                        accessor(19, 3, "VEC4"), accessor(31, 3, "VEC4", 5121), accessor(34, 1, "MAT4")}},
      {"meshes", {{{"name", "Tri"}, {"primitives", {{{"attributes", {{"POSITION", 0}, {"WEIGHTS_0", 4}, {"JOINTS_0", 5}}}}}}}}},
      {"skins", {{{"name", "Rig"}, {"joints", {1}}, {"inverseBindMatrices", 6}}}},
      {"cameras", {{{"name", "Main"}, {"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.1}}}},
                   {{"name", "Top"}, {"type", "orthographic"},
                    {"orthographic", {{"xmag", 2}, {"ymag", 1.5}, {"znear", 0.1}, {"zfar", 50}}}}}},
      {"extensions", {{"KHR_lights_punctual", {{"lights", {{{"name", "Key"}, {"type", "spot"}}}}}}}},
      {"nodes", {{{"name", "Body"}, {"mesh", 0}, {"skin", 0}},
                 {{"name", "Bone"}},
                 {{"name", "CamNode"}, {"camera", 0}, {"translation", {0, 0, 5}}},
                 {{"name", "TopNode"}, {"camera", 1}, {"translation", {0, 10, 0}}, {"rotation", {-s, 0, 0, s}}},
                 {{"name", "Lamp"}, {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}}}},
      {"scenes", {{{"nodes", {0, 1, 2, 3, 4}}}}},
  };
  json walk = {{"name", "Walk"}, {"samplers", {{{"input", 1}, {"output", 3}}}},
               {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}}}}};
  json run = {{"name", "Run"}, {"samplers", {{{"input", 2}, {"output", 3}}}},
              {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}},
                            {{"sampler", 0}, {"target", {{"node", 1}, {"path", "translation"}}}}}}};
  doc["animations"] = {walk, run};
  return doc.dump();
}

TEST(Kq7SceneChoice, ListShowsWhatTheFileHoldsAndWritesNothing) {
  TempDir dir;
  const std::string in = dir.Write("in/Probe.gltf", ChoiceGltf());
  const ToolRun run = RunTool({"scene", "--list", in});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {"animations: 2\n  1 Walk: 1 s, 1 channel\n  2 Run: 2 s, 2 channels\n",
                           "cameras: 2\n  Main: perspective, on node 2 (CamNode)\n  Top: orthographic, on node 3 (TopNode)\n",
                           "lights: 1\n  Key: spot, on node 4 (Lamp)\n", "skins: 1\n  Rig: 1 joint, bending node 0 (Body)\n",
                           "meshes: 1\n  Tri: 1 primitive, 0 morph targets, on node 0 (Body)\n"}) {
    EXPECT_THAT(run.out, HasSubstr(line));
  }
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(dir.path()), {}), 2);  // in/, the file
  EXPECT_EQ(RunTool({"scene", "--list", in, dir / "data"}).status, 2);
}

// Run only, seen through Top: far back along Top's view (down), zoomed so
// the view's half height at the scene's centre is Top's ymag.
TEST(Kq7SceneChoice, OneAnimationThroughTheOrthographicCamera) {
  TempDir dir;
  const std::string in = dir.Write("in/Probe.gltf", ChoiceGltf());
  const ToolRun wrong = RunTool({"scene", "--no-meshes", "--animation", "Jump", in, dir / "data"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_THAT(wrong.err, HasSubstr("no animation \"Jump\"; its animations: Walk, Run (or their numbers, 1 to 2)"));
  const ToolRun noCamera = RunTool({"scene", "--no-meshes", "--camera", "Side", in, dir / "data"});
  EXPECT_EQ(noCamera.status, 2);
  EXPECT_THAT(noCamera.err, HasSubstr("no camera \"Side\"; its cameras: Main, Top"));
  EXPECT_FALSE(std::filesystem::exists(dir / "data"));

  const ToolRun run = RunTool({"scene", "--animation", "2", "--camera", "Top", in, dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("node 3 (TopNode): its orthographic camera becomes a perspective one"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "data/scenes"), {}), 1);
  const auto loaded = LoadDemoScene(dir / "data", "Probe");
  const Scene& scene = *loaded->scene;
  EXPECT_FLOAT_EQ(scene.sceneEnd - scene.sceneStart, 2.0f);
  ASSERT_EQ(scene.cameras.count(), 2);
  const Camera& top = *scene.cameras.At(0);
  const Matrix4 world = WorldAt(scene, top, 0);
  const float* axis = &world.m[8];
  EXPECT_NEAR(axis[1], -1, 1e-5);
  const float centre[3] = {0.5f, 0.5f, 0};
  float depth = 0;
  for (int k = 0; k < 3; ++k) depth += (centre[k] - world.m[static_cast<std::size_t>(12 + k)]) * axis[k];
  EXPECT_NEAR(depth, 20 * std::sqrt(2.0) + 9.5, 1e-3);
  EXPECT_NEAR(depth / top.zoomFactor.ValueAt(0), 1.5, 1e-5);
  EXPECT_GT(scene.fogMaxDistance.ValueAt(0), depth + 1);
}

// Items hanging from a camera follow it when it becomes camera 1.
TEST(Kq7SceneChoice, LightWaveCameraChosenByName) {
  TempDir dir;
  std::string side = CameraBlock("", "ZoomFactor 2\n");
  side.replace(side.find("CameraName Camera"), 17, "CameraName Side");
  dir.Write("lw/two.lws", SceneHeader() + NullObject("Rig", "ParentItem 30000001\n") + CameraBlock() + side);
  const ToolRun run = RunTool({"scene", "--camera", "Side", dir / "lw/two.lws", dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto loaded = LoadDemoScene(dir / "data", "two");
  const Scene& scene = *loaded->scene;
  ASSERT_EQ(scene.cameras.count(), 2);
  EXPECT_FLOAT_EQ(scene.cameras.At(0)->zoomFactor.ValueAt(0), 2);
  EXPECT_EQ(scene.objects.At(0)->parent, scene.cameras.At(0));
  EXPECT_EQ(RunTool({"scene", "--animation", "Walk", dir / "lw/two.lws", dir / "data"}).status, 2);
}

}  // namespace
}  // namespace stagwerk::testing
