// kq7 scene on a rigged cylinder built here: the baked mesh, morphed by the
// player's own mixer from the written scene, against skinning worked out
// from glTF's rules at every frame and halfway between; the bound; a skin
// that cannot be followed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "SceneFiles.h"
#include "frame/MorphCopies.h"
#include "kq7/formats/demoscene/GltfScene.h"

namespace stagwerk::testing {
namespace {

using ::testing::HasSubstr;
using nlohmann::json;

constexpr int kRings = 9, kSides = 8;
constexpr double kRadius = 0.5, kRingStep = 0.25;  // 2 high; the upper joint at y = 1

struct Cylinder {
  std::vector<float> positions, weights, bulge;  // bulge: the morph target's moves
  std::vector<uint8_t> joints;
  std::vector<uint16_t> weightsU16, indices;

  Cylinder() {
    for (int r = 0; r < kRings; ++r) {
      const double y = r * kRingStep, upper = std::clamp((y - 0.75) / 0.5, 0.0, 1.0);
      for (int s = 0; s < kSides; ++s) {
        const double a = 2 * M_PI * s / kSides;
        positions.insert(positions.end(), {float(kRadius * std::cos(a)), float(y), float(kRadius * std::sin(a))});
        bulge.insert(bulge.end(), {r == kRings - 1 ? 0.2f : 0.0f, 0, 0});
        joints.insert(joints.end(), {0, 1, 0, 0});
        const auto u = static_cast<uint16_t>(std::lround(upper * 65535));
        weightsU16.insert(weightsU16.end(), {static_cast<uint16_t>(65535 - u), u, 0, 0});
        if (r + 1 < kRings) {
          const auto v = [&](int rr, int ss) { return static_cast<uint16_t>(rr * kSides + (ss % kSides)); };
          indices.insert(indices.end(), {v(r, s), v(r + 1, s), v(r + 1, s + 1), v(r, s), v(r + 1, s + 1), v(r, s + 1)});
        }
      }
    }
  }

  // The file's rules: the morph target at weight w, then each joint's world
  // matrix times its inverse bind matrix, weighed. The upper joint turns
  // about X by 90 degrees times turn; the mesh node's own place counts for nothing.
  std::array<double, 3> Skinned(std::size_t v, double turn, double w) const {
    const double a = M_PI / 2 * std::clamp(turn, 0.0, 1.0);
    w = std::clamp(w, 0.0, 1.0);
    const double x = positions[3 * v] + w * bulge[3 * v], y = positions[3 * v + 1], z = positions[3 * v + 2];
    const double up = weightsU16[4 * v + 1] / 65535.0, low = weightsU16[4 * v] / 65535.0, sum = up + low;
    const double uy = std::cos(a) * (y - 1) - std::sin(a) * z + 1, uz = std::sin(a) * (y - 1) + std::cos(a) * z;
    return {x, (low * y + up * uy) / sum, (low * z + up * uz) / sum};
  }
};

template <typename T>
std::string Bytes(const std::vector<T>& v) {
  return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

// The cylinder as a .gltf with its buffer inline: joints as bytes, weights
// as normalised shorts; or each weight halved as floats in two sets; or a
// joint index past the skin's two on one vertex.
enum class Variant { OneSet, TwoSets, BrokenJoint, NoInverseBind };

std::string CylinderGltf(const Cylinder& c, Variant variant) {
  std::vector<uint8_t> joints = c.joints;
  if (variant == Variant::BrokenJoint) joints[4 * 20] = 5;
  std::string buffer;
  json views = json::array(), accessors = json::array();
  const auto add = [&](const std::string& bytes, int type, std::size_t count, const char* shape, bool normalized = false) {
    while (buffer.size() % 4) buffer += '\0';
    views.push_back({{"buffer", 0}, {"byteOffset", buffer.size()}, {"byteLength", bytes.size()}});
    json a = {{"bufferView", views.size() - 1}, {"componentType", type}, {"count", count}, {"type", shape}};
    if (normalized) a["normalized"] = true;
    accessors.push_back(a);
    buffer += bytes;
    return accessors.size() - 1;
  };
  const std::size_t n = c.positions.size() / 3;
  const std::vector<float> inverseBind = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                                          1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1};
  const float s = static_cast<float>(std::sqrt(0.5));
  json attributes = {{"POSITION", add(Bytes(c.positions), 5126, n, "VEC3")},
                     {"JOINTS_0", add(Bytes(joints), 5121, n, "VEC4")},
                     {"WEIGHTS_0", add(Bytes(c.weightsU16), 5123, n, "VEC4", true)}};
  if (variant == Variant::TwoSets) {
    std::vector<float> halves;
    for (uint16_t w : c.weightsU16) halves.push_back(w / 65535.0f / 2);
    attributes["WEIGHTS_0"] = attributes["WEIGHTS_1"] = add(Bytes(halves), 5126, n, "VEC4");
    attributes["JOINTS_1"] = attributes["JOINTS_0"];
  }
  const std::size_t times = add(Bytes(std::vector<float>{0, 1}), 5126, 2, "SCALAR");
  const std::size_t turns = add(Bytes(std::vector<float>{0, 0, 0, 1, s, 0, 0, s}), 5126, 2, "VEC4");
  const std::size_t morph = add(Bytes(std::vector<float>{0, 1}), 5126, 2, "SCALAR");
  const std::size_t back = add(Bytes(std::vector<float>{s, 0, 0, s, 0, 0, 0, 1}), 5126, 2, "VEC4");
  json doc = {
      {"asset", {{"version", "2.0"}}},
      {"scenes", {{{"nodes", {0, 1}}}}},
      {"nodes",
       {{{"name", "Body"}, {"mesh", 0}, {"skin", 0}, {"translation", {5, 0, 0}}},
        {{"name", "Lower"}, {"children", {2}}},
        {{"name", "Upper"}, {"translation", {0, 1, 0}}}}},
      {"meshes",
       {{{"name", "Body"},
         {"primitives",
          {{{"attributes", attributes},
            {"indices", add(Bytes(c.indices), 5123, c.indices.size(), "SCALAR")},
            {"targets", {{{"POSITION", add(Bytes(c.bulge), 5126, n, "VEC3")}}}}}}}}}},
      {"skins", {{{"joints", {1, 2}}, {"inverseBindMatrices", add(Bytes(inverseBind), 5126, 2, "MAT4")}}}},
      {"animations",
       {{{"name", "Bend"},
         {"samplers", {{{"input", times}, {"output", turns}}, {{"input", times}, {"output", morph}}}},
         {"channels",
          {{{"sampler", 0}, {"target", {{"node", 2}, {"path", "rotation"}}}},
           {{"sampler", 1}, {"target", {{"node", 0}, {"path", "weights"}}}}}}},
        {{"name", "Back"},
         {"samplers", {{{"input", times}, {"output", back}}}},
         {"channels", {{{"sampler", 0}, {"target", {{"node", 2}, {"path", "rotation"}}}}}}}}}};
  if (variant == Variant::NoInverseBind) doc["skins"][0].erase("inverseBindMatrices");
  doc["bufferViews"] = views;
  doc["accessors"] = accessors;
  doc["buffers"] = {{{"byteLength", buffer.size()}, {"uri", "data:application/octet-stream;base64," + Base64(buffer)}}};
  return doc.dump();
}

SceneObject& ObjectNamed(Scene& scene, const std::string& name) {
  for (SceneObject& o : scene.objects) {
    if (o.name == name) return o;
  }
  throw std::runtime_error("no object " + name);
}

// Every vertex the player draws within 1% of the cylinder's size of the
// skinned vertex, at each frame and halfway between frames, in both
// animations' scenes: they share one mesh, each weighing its own frames.
void ExpectFollowsSkin(const Cylinder& cylinder, const std::string& data, const std::string& name, bool back) {
  SCOPED_TRACE(name);
  const auto loaded = LoadDemoScene(data, name);
  Scene& scene = *loaded->scene;
  SceneObject& body = ObjectNamed(scene, "Objects/cyl_Body.lwo");
  ASSERT_EQ(body.mixerChannelCount(), 62);
  ASSERT_EQ(body.mesh->vertexCount(), 72u);
  // Each drawn vertex is the file's vertex whose bind place, mirrored, it has.
  std::vector<std::size_t> source(72);
  const auto base = body.mesh->positions();
  for (std::size_t k = 0, v = 0; k < 72; ++k) {
    for (v = 0; v < 72; ++v) {
      const float* p = &cylinder.positions[3 * v];
      if (std::abs(base[3 * k] - p[0]) + std::abs(base[3 * k + 1] - p[1]) + std::abs(base[3 * k + 2] + p[2]) < 1e-5) break;
    }
    source[k] = v;
  }
  MorphCopies copies(scene);
  const double size = std::sqrt(1 + 1 + 4), tolerance = 0.01 * size;
  double worst = 0;
  for (int half = 0; half <= 64; ++half) {
    const float t = static_cast<float>(half) / 60;
    const Matrix4 world = WorldAt(scene, body, t);
    copies.ApplyMixer(body, t);
    const auto drawn = copies.CopyOf(body)->positions();
    for (std::size_t k = 0; k < 72; ++k) {
      const auto expected = back ? cylinder.Skinned(source[k], 1 - t, 0) : cylinder.Skinned(source[k], t, t);
      const float* p = &drawn[3 * k];
      for (int r = 0; r < 3; ++r) {
        const double placed = world.m[r] * p[0] + world.m[4 + r] * p[1] + world.m[8 + r] * p[2] + world.m[12 + r];
        const double d = std::abs(placed - (r == 2 ? -expected[2] : expected[static_cast<std::size_t>(r)]));
        worst = std::max(worst, d);
        ASSERT_LT(d, tolerance) << "vertex " << k << " at " << t << " s";
      }
    }
  }
  std::cout << name << ": largest distance from the skin over 65 times: " << worst << " (" << worst / size * 100
            << "% of the size)\n";
}

TEST(Kq7SceneGltfSkin, BakedFramesFollowTheSkin) {
  const Cylinder cylinder;
  TempDir dir;
  const ToolRun run = RunTool({"scene", dir.Write("cyl.gltf", CylinderGltf(cylinder, Variant::OneSet)), dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("Objects/cyl_Body.kq7: 2 animations, 62 frames baked, 72 vertices, "));
  ExpectFollowsSkin(cylinder, dir / "data", "cyl_Bend", false);
  ExpectFollowsSkin(cylinder, dir / "data", "cyl_Back", true);
  const ToolRun two = RunTool({"scene", dir.Write("cyl.gltf", CylinderGltf(cylinder, Variant::TwoSets)), dir / "two"});
  ASSERT_EQ(two.status, 0) << two.err;
  ExpectFollowsSkin(cylinder, dir / "two", "cyl_Bend", false);
}

// A small bound: fewer frames are baked, said in a warning, and the hat
// curves meet at the baked frames' times.
TEST(Kq7SceneGltfSkin, BoundLowersTheRate) {
  const Cylinder cylinder;
  const kq7::GltfFile file = kq7::GltfFile::Parse(CylinderGltf(cylinder, Variant::OneSet), "cyl.gltf");
  kq7::GltfSceneOptions options;
  options.name = "cyl";
  options.maxSkinDeltas = 500;
  std::vector<std::string> warnings;
  const kq7::GltfScenes out = kq7::ConvertGltfScenes(file, options, warnings);
  ASSERT_EQ(out.skins.size(), 1u);
  const kq7::GltfSkinBake& bake = out.skins[0];
  // 38 vertices move (two lie on the joint's axis) in 30 frames of each
  // animation (the rest pose is not a move); every 4th frame would be 608.
  EXPECT_EQ(bake.records, 456u);
  ASSERT_EQ(bake.frames.size(), 14u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_THAT(warnings[0], HasSubstr("2,280 deltas at 30 frames per second are past the bound of 500 deltas"));
  EXPECT_THAT(warnings[0], HasSubstr("every 5th frame is baked"));
  kq7::DemoObject body = out.scenes[0].second.objects[0];
  ASSERT_EQ(body.mixer.size(), 14u);
  body.mixer.resize(7);  // the first animation's frames
  EXPECT_FLOAT_EQ(body.mixer.back().keys.back().time, 1.0f);  // the last frame is always baked
  for (std::size_t k = 0; k + 1 < body.mixer.size(); ++k) {
    EXPECT_EQ(body.mixer[k].keys.back().time, body.mixer[k + 1].keys[1].time);
  }
}

// A joint index past the skin's list: a warning, and the mesh in its bind
// pose where its node puts it.
TEST(Kq7SceneGltfSkin, BrokenSkinStaysInBindPose) {
  const Cylinder cylinder;
  TempDir dir;
  const ToolRun run = RunTool({"scene", dir.Write("cyl.gltf", CylinderGltf(cylinder, Variant::BrokenJoint)), dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("node 0 (Body): skin 0 cannot be followed (vertex 20 names joint 5"));
  EXPECT_THAT(run.err, HasSubstr("its mesh stays in its bind pose"));
  const auto loaded = LoadDemoScene(dir / "data", "cyl_Bend");
  SceneObject& body = ObjectNamed(*loaded->scene, "Objects/cyl_Body.lwo");
  EXPECT_EQ(body.mesh->targetCount(), 1u);  // the file's own morph target, nothing baked
  EXPECT_FLOAT_EQ(WorldAt(*loaded->scene, body, 0.5f).m[12], 5);
}

// glTF's identity default for missing inverse bind matrices, which assimp
// 5.2.5 crashes on: both commands read the file and bake it.
TEST(Kq7SceneGltfSkin, MissingInverseBindMatricesAreIdentity) {
  const Cylinder cylinder;
  TempDir dir;
  const std::string in = dir.Write("cyl.gltf", CylinderGltf(cylinder, Variant::NoInverseBind));
  const ToolRun convert = RunTool({"convert", "--no-pictures", in, dir / "cyl.kq7"});
  ASSERT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(LoadKq7(dir / "cyl.kq7")->vertexCount(), 72);
  const ToolRun scene = RunTool({"scene", in, dir / "data"});
  ASSERT_EQ(scene.status, 0) << scene.err;
  EXPECT_THAT(scene.out, HasSubstr("2 animations, 62 frames baked"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no copy left behind
}

}  // namespace
}  // namespace stagwerk::testing
