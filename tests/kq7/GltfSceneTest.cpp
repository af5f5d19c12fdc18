// kq7 scene on glTF files built here: every item's world matrix in the
// player, at every frame, against glTF's own interpolation rules worked out
// independently below; cameras, lights and morph weights.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "SceneFiles.h"
#include "anim/EnvelopeEvaluation.h"

namespace stagwerk::testing {
namespace {

using ::testing::HasSubstr;
using nlohmann::json;
using Values = std::vector<float>;

// A binary glTF: the JSON chunk and one buffer in the BIN chunk.
class Glb {
 public:
  json doc = {{"asset", {{"version", "2.0"}}}, {"bufferViews", json::array()}, {"accessors", json::array()}};

  int Accessor(const Values& values, const std::string& type, std::size_t components) {
    return Add(std::string(reinterpret_cast<const char*>(values.data()), values.size() * 4), 5126,
               values.size() / components, type);
  }
  int Indices(const std::vector<uint16_t>& indices) {
    return Add(std::string(reinterpret_cast<const char*>(indices.data()), indices.size() * 2), 5123, indices.size(),
               "SCALAR");
  }
  std::string Bytes() {
    doc["buffers"] = {{{"byteLength", bin_.size()}}};
    std::string text = doc.dump();
    while (text.size() % 4) text += ' ';
    std::string out = "glTF" + U32(2) + U32(static_cast<uint32_t>(12 + 8 + text.size() + 8 + bin_.size()));
    return out + U32(static_cast<uint32_t>(text.size())) + "JSON" + text + U32(static_cast<uint32_t>(bin_.size())) +
           std::string("BIN\0", 4) + bin_;
  }

 private:
  static std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
  int Add(const std::string& bytes, int componentType, std::size_t count, const std::string& type) {
    while (bin_.size() % 4) bin_ += '\0';
    doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", bin_.size()}, {"byteLength", bytes.size()}});
    doc["accessors"].push_back({{"bufferView", doc["bufferViews"].size() - 1},
                                {"componentType", componentType},
                                {"count", count},
                                {"type", type}});
    bin_ += bytes;
    return static_cast<int>(doc["accessors"].size() - 1);
  }
  std::string bin_;
};

Values Turn(double x, double y, double z, double degrees) {
  const double n = std::sqrt(x * x + y * y + z * z), h = degrees * M_PI / 360;
  return {static_cast<float>(x / n * std::sin(h)), static_cast<float>(y / n * std::sin(h)),
          static_cast<float>(z / n * std::sin(h)), static_cast<float>(std::cos(h))};
}
Values Join(std::initializer_list<Values> parts) {
  Values out;
  for (const Values& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A sampler as the test keeps it: glTF's rules, written out again here.
struct Track {
  std::string path;
  Values times, values;  // CUBICSPLINE: in-tangent, value, out-tangent per key
  std::string interpolation;

  std::vector<double> At(double t) const {
    const std::size_t width = path == "rotation" ? 4 : 3, n = times.size();
    const bool cubic = interpolation == "CUBICSPLINE";
    auto value = [&](std::size_t k, std::size_t part) {
      std::vector<double> v(width);
      for (std::size_t c = 0; c < width; ++c) v[c] = values[((cubic ? 3 * k + part : k) * width) + c];
      return v;
    };
    if (t <= times[0]) return value(0, 1);
    if (t >= times[n - 1]) return value(n - 1, 1);
    std::size_t k = 0;
    while (t >= times[k + 1]) ++k;
    const double dt = times[k + 1] - times[k], u = (t - times[k]) / dt;
    const auto a = value(k, 1), b = value(k + 1, 1);
    std::vector<double> out(width);
    if (interpolation == "STEP") return a;
    if (cubic) {
      const auto outTangent = value(k, 2), inTangent = value(k + 1, 0);
      for (std::size_t c = 0; c < width; ++c) {
        out[c] = (2 * u * u * u - 3 * u * u + 1) * a[c] + (u * u * u - 2 * u * u + u) * dt * outTangent[c] +
                 (-2 * u * u * u + 3 * u * u) * b[c] + (u * u * u - u * u) * dt * inTangent[c];
      }
    } else if (width == 4) {  // slerp
      double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
      const double s = d < 0 ? -1 : 1;
      d = std::abs(d);
      const double angle = std::acos(std::min(d, 1.0));
      const double wa = angle < 1e-9 ? 1 - u : std::sin((1 - u) * angle) / std::sin(angle);
      const double wb = angle < 1e-9 ? u : std::sin(u * angle) / std::sin(angle);
      for (std::size_t c = 0; c < 4; ++c) out[c] = wa * a[c] + s * wb * b[c];
    } else {
      for (std::size_t c = 0; c < width; ++c) out[c] = a[c] + (b[c] - a[c]) * u;
    }
    if (width == 4) {
      const double len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2] + out[3] * out[3]);
      for (double& c : out) c /= len;
    }
    return out;
  }
};

using Matrix = std::array<double, 16>;  // column-major

Matrix Trs(const std::vector<double>& t, const std::vector<double>& q, const std::vector<double>& s) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w),
                       2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                       2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)};
  Matrix m{};
  for (int c = 0; c < 3; ++c)
    for (int row = 0; row < 3; ++row) m[static_cast<std::size_t>(c * 4 + row)] = r[row * 3 + c] * s[static_cast<std::size_t>(c)];
  m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
  return m;
}

Matrix Times(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[static_cast<std::size_t>(c * 4 + r)] += a[static_cast<std::size_t>(k * 4 + r)] * b[static_cast<std::size_t>(c * 4 + k)];
  return m;
}

// Into the player's space: Z W Z.
Matrix Mirrored(Matrix m) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      if ((c == 2) != (r == 2)) m[static_cast<std::size_t>(c * 4 + r)] = -m[static_cast<std::size_t>(c * 4 + r)];
  return m;
}

struct TestNode {
  TestNode(std::string n, int p) : name(std::move(n)), parent(p) {}
  std::string name;
  int parent;
  std::vector<double> t{0, 0, 0}, r{0, 0, 0, 1}, s{1, 1, 1};
  std::vector<Track> tracks;  // of the first animation

  Matrix LocalAt(double time) const {
    auto t2 = t, r2 = r, s2 = s;
    for (const Track& k : tracks) (k.path == "translation" ? t2 : k.path == "rotation" ? r2 : s2) = k.At(time);
    return Trs(t2, r2, s2);
  }
};

Matrix WorldOf(const std::vector<TestNode>& nodes, std::size_t n, double t) {
  Matrix m = nodes[n].LocalAt(t);
  for (int p = nodes[n].parent; p != -1; p = nodes[static_cast<std::size_t>(p)].parent) {
    m = Times(nodes[static_cast<std::size_t>(p)].LocalAt(t), m);
  }
  return m;
}

double Difference(const Matrix4& a, const Matrix& b) {
  double d = 0;
  for (std::size_t i = 0; i < 16; ++i) d = std::max(d, std::abs(a.m[i] - b[i]));
  return d;
}

// A hierarchy moved by every interpolation on translation, rotation (turns
// of 170 degrees that Euler lines cannot follow) and non-uniform scale, a
// camera, the three kinds of light and a morph weight: two animations.
TEST(Kq7SceneGltf, ItemsFollowGltfAtEveryFrame) {
  std::vector<TestNode> nodes = {{"base", -1}, {"arm", 0}, {"hand", 1}, {"cam", 0}, {"spot", 0}, {"sun", 0}, {"bulb", -1}};
  nodes[1].t = {0, 1, 0};
  nodes[3].t = {0, 1, 8};
  nodes[3].r = {0, std::sin(M_PI / 18), 0, std::cos(M_PI / 18)};
  nodes[4].t = {0, 3, 0};
  nodes[4].r = {std::sin(-M_PI / 8), 0, 0, std::cos(-M_PI / 8)};
  nodes[6].t = {1, 2, 3};
  nodes[0].tracks = {{"translation", {0, 1, 2}, {0, 0, 0, 2, 0, 0, 2, 2, -1}, "LINEAR"},
                     {"rotation", {0, 1}, Join({Turn(0, 1, 0, 0), Turn(0, 1, 0, 90)}), "STEP"}};
  nodes[1].tracks = {
      {"rotation", {0, 1, 2}, Join({Turn(1, 0, 0, 0), Turn(1, 1, 1, 170), Turn(0, 0, 1, -120)}), "LINEAR"},
      {"scale", {0, 2}, {0, 0, 0, 1, 1, 1, 1, 0, -1, /**/ 0.5f, 0, 0, 2, 1, 0.5f, 0, 0, 0}, "CUBICSPLINE"}};
  nodes[2].tracks = {
      {"translation", {0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 2, 0, /**/ 1, 0, 0, 1, 1, 1, 0, 0, 3, /**/ 0, 1, 0, 0, 0, 2, 0, 0, 0},
       "CUBICSPLINE"},
      {"rotation", {0, 2}, Join({{0, 0, 0, 0}, Turn(0, 0, 1, 10), {0.2f, 0, 0, 0}, {0, 0.1f, 0, 0}, Turn(0, 1, 0, 60), {0, 0, 0, 0}}),
       "CUBICSPLINE"}};

  Glb glb;
  const int positions = glb.Accessor({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", 3);
  glb.doc["accessors"][static_cast<std::size_t>(positions)]["min"] = {0, 0, 0};
  glb.doc["accessors"][static_cast<std::size_t>(positions)]["max"] = {1, 1, 0};
  const int target = glb.Accessor({0, 0, 1, 0, 0, 0, 0, 0, 0}, "VEC3", 3);
  glb.doc["meshes"] = {{{"name", "Blade"},
                        {"primitives", {{{"attributes", {{"POSITION", positions}}}, {"indices", glb.Indices({0, 1, 2})},
                                         {"targets", {{{"POSITION", target}}}}}}}}};
  json channels = json::array(), samplers = json::array();
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    for (const Track& track : nodes[n].tracks) {
      samplers.push_back({{"input", glb.Accessor(track.times, "SCALAR", 1)},
                          {"output", glb.Accessor(track.values, track.path == "rotation" ? "VEC4" : "VEC3",
                                                  track.path == "rotation" ? 4 : 3)},
                          {"interpolation", track.interpolation}});
      channels.push_back({{"sampler", samplers.size() - 1}, {"target", {{"node", n}, {"path", track.path}}}});
    }
  }
  samplers.push_back({{"input", glb.Accessor({0, 2}, "SCALAR", 1)}, {"output", glb.Accessor({0, 1}, "SCALAR", 1)}});
  channels.push_back({{"sampler", samplers.size() - 1}, {"target", {{"node", 1}, {"path", "weights"}}}});
  const json idle = {{"name", "Idle"},
                     {"samplers", {{{"input", glb.Accessor({0, 0.5f}, "SCALAR", 1)},
                                    {"output", glb.Accessor({0, 0, 0, 0, 1, 0}, "VEC3", 3)},
                                    {"interpolation", "STEP"}}}},
                     {"channels", {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}}}}};
  glb.doc["animations"] = {{{"name", "Walk"}, {"samplers", samplers}, {"channels", channels}}, idle};
  json nodeList = json::array();
  for (const TestNode& n : nodes) {
    json j = {{"name", n.name}, {"translation", n.t}, {"rotation", n.r}, {"scale", n.s}};
    nodeList.push_back(j);
  }
  nodeList[0]["children"] = {1, 3, 4, 5};
  nodeList[1]["children"] = {2};
  nodeList[1]["mesh"] = 0;
  nodeList[3]["camera"] = 0;
  for (int l = 0; l < 3; ++l) nodeList[static_cast<std::size_t>(4 + l)]["extensions"] = {{"KHR_lights_punctual", {{"light", l}}}};
  glb.doc["nodes"] = nodeList;
  glb.doc["scenes"] = {{{"nodes", {0, 6}}}};
  glb.doc["cameras"] = {{{"type", "perspective"}, {"perspective", {{"yfov", 0.8}, {"znear", 0.05}, {"zfar", 200}}}}};
  glb.doc["extensions"] = {
      {"KHR_lights_punctual",
       {{"lights",
         {{{"type", "spot"}, {"color", {1, 0.5, 0.25}}, {"intensity", 2}, {"spot", {{"outerConeAngle", 0.5}}}},
          {{"type", "directional"}, {"name", "Sun"}},
          {{"type", "point"}, {"intensity", 0.5}}}}}}};

  TempDir dir;
  const ToolRun run = RunTool({"scene", dir.Write("rig.glb", glb.Bytes()), dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("rig_Walk 1 00:00:00:000\n  rig_Idle 1 00:00:00:000"));
  const auto idleScene = LoadDemoScene(dir / "data", "rig_Idle");
  EXPECT_EQ(idleScene->scene->lastFrame, 15u);
  const auto loaded = LoadDemoScene(dir / "data", "rig_Walk");
  Scene& scene = *loaded->scene;
  EXPECT_EQ(scene.framesPerSecond, 30u);
  ASSERT_EQ(scene.lastFrame, 60u);
  EXPECT_FLOAT_EQ(scene.nearClip, 0.05f);
  EXPECT_FLOAT_EQ(scene.fogMaxDistance.ValueAt(0), 200);

  std::map<std::string, SceneItem*> items;
  for (SceneObject& o : scene.objects) items[o.name] = &o;
  SceneObject& blade = *static_cast<SceneObject*>(items.at("Objects/rig_Blade.lwo"));
  items["arm"] = &blade;
  ASSERT_EQ(blade.mixerChannelCount(), 1);
  EXPECT_TRUE(blade.flags.Has(ObjectFlag::MorphMixer));
  ASSERT_EQ(scene.lights.count(), 3);
  const Light &spot = *scene.lights.At(0), &sun = *scene.lights.At(1), &bulb = *scene.lights.At(2);
  EXPECT_EQ(spot.type, LightType::Spot);
  EXPECT_NEAR(spot.coneAngle->ValueAt(0), 0.5 * 180 / M_PI, 1e-4);
  EXPECT_EQ(spot.color, (std::array<float, 4>{1, 0.5f, 0.25f, 1}));
  EXPECT_EQ(sun.type, LightType::Distant);
  // 1 lux, glTF's default, lights a facing white surface to 1/pi of white in
  // linear terms: the player's intensity is that on screen.
  EXPECT_NEAR(sun.intensity.ValueAt(0), std::pow(1 / M_PI, 1 / 2.2), 1e-5);
  EXPECT_EQ(sun.name, "Sun");
  EXPECT_EQ(bulb.type, LightType::Point);
  ASSERT_EQ(scene.cameras.count(), 1);
  Camera& camera = *scene.cameras.At(0);
  EXPECT_NEAR(CameraFieldOfView(camera, 0), 0.8 * 180 / M_PI, 1e-3);

  double worst = 0;
  for (uint32_t f = 0; f <= scene.lastFrame; ++f) {
    const float t = static_cast<float>(f) / 30;
    SCOPED_TRACE("frame " + std::to_string(f));
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      SCOPED_TRACE(nodes[n].name);
      SceneItem* item = n == 3 ? static_cast<SceneItem*>(&camera)
                        : n >= 4 ? static_cast<SceneItem*>(scene.lights.At(n - 4))
                                 : items.at(nodes[n].name);
      const Matrix expected = Mirrored(WorldOf(nodes, n, t));
      Matrix4 world;
      if (n == 3) {
        // The view is the camera's placement undone: with its placement, nothing is left.
        world = ViewAt(scene, camera, t);
        Matrix4 expected4;
        for (std::size_t i = 0; i < 16; ++i) expected4.m[i] = static_cast<float>(expected[i]);
        world.Multiply(expected4);
        Matrix ident{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        worst = std::max(worst, Difference(world, ident));
        EXPECT_LT(Difference(world, ident), 1e-3);
        continue;
      }
      world = WorldAt(scene, *item, t);
      worst = std::max(worst, Difference(world, expected));
      EXPECT_LT(Difference(world, expected), 1e-3);
    }
    EXPECT_NEAR(EvaluateEnvelope(*blade.mixerChannels[0], t), t / 2, 1e-6);
  }
  std::cout << "largest difference from glTF over 61 frames: " << worst << "\n";
}

// A scene without camera or animation: a still scene whose camera frames it.
TEST(Kq7SceneGltf, StillSceneGetsAFramingCamera) {
  TempDir dir;
  const std::string gltf = GltfText({{{0, 0, 0}, {4, 0, 0}, {4, 2, 0}}, {0, 1, 2}, {}, {}, {}, {}, "\"translation\": [10, 0, 0],", ""});
  const ToolRun run = RunTool({"scene", dir.Write("still.gltf", gltf), dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto loaded = LoadDemoScene(dir / "data", "still");
  Scene& scene = *loaded->scene;
  EXPECT_EQ(scene.lastFrame, 150u);
  ASSERT_EQ(scene.cameras.count(), 1);
  ASSERT_EQ(scene.objects.count(), 1);
  EXPECT_EQ(scene.objects.At(0)->mesh->vertexCount(), 3u);
  // The middle of the triangle lies straight ahead of the camera, in front of the near plane.
  const Matrix4 view = ViewAt(scene, *scene.cameras.At(0), 0);
  const float x = 12, y = 1, z = 0;
  EXPECT_NEAR(view.m[0] * x + view.m[4] * y + view.m[8] * z + view.m[12], 0, 1e-4);
  EXPECT_NEAR(view.m[1] * x + view.m[5] * y + view.m[9] * z + view.m[13], 0, 1e-4);
  EXPECT_GT(view.m[2] * x + view.m[6] * y + view.m[10] * z + view.m[14], scene.nearClip);
}

}  // namespace
}  // namespace stagwerk::testing
