// KQ7 files made by our writer, read back through the loader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>

#include "TempDir.h"
#include "base/LoadError.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "textures/TextureCache.h"

namespace stagwerk {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Bytes = std::vector<unsigned char>;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::unique_ptr<Mesh> Parse(const Bytes& bytes, const TextureLookup& textures = {}) {
  return Mesh::Parse(bytes.data(), bytes.size(), "Objects/Test.lwo", "mem.kq7", textures);
}

// The failure text, or "" when the bytes load.
std::string FailureOf(const Bytes& bytes) {
  try {
    Parse(bytes);
  } catch (const LoadError& e) {
    return e.what();
  }
  return "";
}

// Every section and flag: bones need AllTriangles, which it has.
Kq7Description FullMesh() {
  Kq7Description d;
  d.flags = 0xFF;
  d.textureName = "wood";
  d.environmentMapName = "chrome";
  d.secondTextureName = "dirt";
  d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  d.polygons = {{0, 1, 2}, {0, 2, 3}};
  d.uvs = {{0, 0}, {1, 0}, {0, 1}};
  d.uvIndices = {0, 1, 2, 0, 2, 1};
  d.colours = {{1, 0, 0, 1}, {0, 1, 0, 0.5f}};
  d.colourIndices = {0, 1, 0, 1, 0, 1};
  d.uvs2 = {{0.5f, 0.25f}};
  d.uv2Indices = {0, 0, 0, 0, 0, 0};
  d.morphTargets = {{{0.1f, 0.2f, 0.3f, 1}}, {}, {{1, 1, 1, 3}, {2, 2, 2, 0}}};
  d.boneVertexData = {7, 8, 9, 0xDEADBEEF};
  d.polygonBones = {0, 3};
  return d;
}

TEST(Kq7, SmallestTriangleFileIs50BytesWithFrontFacingNormals) {
  Kq7Description d;
  d.flags = HasPolygons | AllTriangles;
  d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  d.polygons = {{0, 1, 2}};
  const Bytes bytes = WriteKq7(d);
  ASSERT_EQ(bytes.size(), 50u);
  EXPECT_THAT(Bytes(bytes.begin(), bytes.begin() + 6), ElementsAre('K', 'Q', '7', 0x41, 3, 0));
  EXPECT_THAT(Bytes(bytes.begin() + 18, bytes.begin() + 22), ElementsAre(0, 0, 0x80, 0x3F));
  const auto mesh = Parse(bytes);
  EXPECT_EQ(mesh->cornerTotal(), 3u);
  EXPECT_THAT(mesh->normals(), ElementsAre(0, 0, 1, 0, 0, 1, 0, 0, 1));
  EXPECT_EQ(mesh->name(), "Objects/Test.lwo");
}

TEST(Kq7, EverySectionAndFlagRoundTrips) {
  std::map<std::string, Texture> textures;
  std::vector<std::string> requests;
  const TextureLookup lookup = [&](const std::string& name) {
    requests.push_back(name);
    return &textures[name];
  };
  const Kq7Description d = FullMesh();
  Bytes bytes = WriteKq7(d);
  bytes.insert(bytes.end(), {1, 2, 3});  // trailing bytes are ignored
  const auto mesh = Parse(bytes, lookup);

  EXPECT_THAT(requests, ElementsAre("wood", "chrome", "dirt"));
  EXPECT_EQ(mesh->texture(), &textures["wood"]);
  EXPECT_EQ(mesh->texture2(), &textures["dirt"]);  // both named: the second texture wins the slot
  EXPECT_THAT(mesh->positions(), ElementsAre(0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1));
  EXPECT_THAT(mesh->vertexIndices(), ElementsAre(0, 1, 2, 0, 2, 3));
  EXPECT_THAT(mesh->uvs(), ElementsAre(0, 0, 1, 0, 0, 1));
  EXPECT_THAT(mesh->uvIndices(), ElementsAreArray(d.uvIndices));
  EXPECT_THAT(mesh->colours(), ElementsAre(1, 0, 0, 1, 0, 1, 0, 0.5f));
  EXPECT_THAT(mesh->colourIndices(), ElementsAreArray(d.colourIndices));
  EXPECT_THAT(mesh->uvs2(), ElementsAre(0.5f, 0.25f));
  EXPECT_THAT(mesh->uv2Indices(), ElementsAreArray(d.uv2Indices));
  EXPECT_THAT(mesh->deltaCounts(), ElementsAre(1, 0, 2));
  ASSERT_EQ(mesh->deltaTotal(), 3u);
  EXPECT_EQ(mesh->morphDeltas()[0].dz, 0.3f);
  EXPECT_EQ(mesh->morphDeltas()[0].vertex, 1);
  EXPECT_EQ(mesh->morphDeltas()[2].dx, 2.0f);
  EXPECT_EQ(mesh->morphDeltas()[2].vertex, 0);
  EXPECT_THAT(mesh->boneVertexData(), ElementsAre(7, 8, 9, 0xDEADBEEF));
  EXPECT_THAT(mesh->polygonBones(), ElementsAre(0, 3));
  EXPECT_EQ(mesh->boneCount(), 4);
}

TEST(Kq7, SectionsFollowTheirFlagsOnly) {
  Kq7Description points;
  points.positions = {{1, 2, 3}, {4, 5, 6}};
  auto mesh = Parse(WriteKq7(points));
  EXPECT_EQ(mesh->vertexCount(), 2);
  EXPECT_TRUE(mesh->normals().empty());
  EXPECT_EQ(mesh->boneCount(), 0);

  // AllTriangles without HasPolygons reads no polygon data; bones without
  // polygons make one bone.
  Kq7Description bones = points;
  bones.flags = AllTriangles | HasBones;
  bones.polygons = {{0, 1, 1}};
  bones.boneVertexData = {1, 2};
  mesh = Parse(WriteKq7(bones));
  EXPECT_EQ(mesh->cornerTotal(), 0u);
  EXPECT_EQ(mesh->boneCount(), 1);

  // An environment map alone fills texture2 and brings no UVs.
  Texture chrome;
  Kq7Description env = points;
  env.flags = HasEnvironmentMap;
  env.environmentMapName = "chrome";
  mesh = Parse(WriteKq7(env), [&](const std::string&) { return &chrome; });
  EXPECT_EQ(mesh->texture(), nullptr);
  EXPECT_EQ(mesh->texture2(), &chrome);
}

// A unit cube of quads wound counter-clockwise from outside: each corner's
// summed normal points away from the centre, one unit along every axis.
// An empty polygon, a point and a line come first and must add nothing.
TEST(Kq7, NormalsOfACubeWithDegeneratePolygons) {
  Kq7Description d;
  d.flags = HasPolygons;
  for (int i = 0; i < 8; ++i) d.positions.push_back({float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
  d.polygons = {{}, {5}, {6, 7}, {4, 5, 7, 6}, {0, 2, 3, 1}, {1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3}, {0, 1, 5, 4}};
  const auto mesh = Parse(WriteKq7(d));
  EXPECT_THAT(mesh->cornerCounts(), ElementsAre(0, 1, 2, 4, 4, 4, 4, 4, 4));
  EXPECT_EQ(mesh->cornerTotal(), 27u);
  ASSERT_EQ(mesh->normals().size(), 24u);
  for (int i = 0; i < 8; ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_FLOAT_EQ(mesh->normals()[3 * i + axis], ((i >> axis) & 1) ? 1.0f : -1.0f) << i << " " << axis;
    }
  }
}

TEST(Kq7, TriangleNormalsWeighByArea) {
  Kq7Description d;
  d.flags = HasPolygons | AllTriangles;
  d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {2, 0, 0}};
  d.polygons = {{0, 1, 2}, {0, 3, 4}};
  // Area 0.5 facing +z and area 2 facing +y meet at vertex 0.
  EXPECT_THAT(Parse(WriteKq7(d))->normals().subspan(0, 6), ElementsAre(0, 4, 1, 0, 0, 1));
}

TEST(Kq7, EveryTruncationIsRejectedWithoutReadingPastTheEnd) {
  const Bytes whole = WriteKq7(FullMesh());
  ASSERT_EQ(FailureOf(whole), "");
  for (std::size_t length = 0; length < whole.size(); ++length) {
    // A copy of exactly this length, so ASan sees any read past it.
    const std::string failure = FailureOf(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)));
    EXPECT_THAT(failure, StartsWith(length < 3 ? "Not KQ7 File" : "Bad KQ7 file mem.kq7: ")) << length;
  }
  EXPECT_THAT(FailureOf({'K', 'Q', '7', HasTexture, 'w', 'o'}), HasSubstr("no terminating NUL"));
  EXPECT_THAT(FailureOf({'K', 'Q', '7', HasPolygons, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              HasSubstr("the file ends inside the polygon count"));
  // Counts of 65535 in a file of a few bytes are refused before anything
  // the size of the claim is allocated.
  EXPECT_EQ(FailureOf({'K', 'Q', '7', HasPolygons | AllTriangles | HasMorphTargets, 0xff, 0xff, 0, 0, 0}),
            "Bad KQ7 file mem.kq7: the file ends inside the vertex positions (786420 bytes needed at offset 6, 3 left)");
}

TEST(Kq7, BadContentIsRejectedNamingTheFileAndTheProblem) {
  const std::pair<std::function<void(Kq7Description&)>, const char*> cases[] = {
      {[](Kq7Description& d) { d.polygons[1][2] = 4; }, "corner 5 uses vertex 4 of 4"},
      {[](Kq7Description& d) { d.uvIndices[3] = 3; }, "corner 3 uses UV 3 of 3"},
      {[](Kq7Description& d) { d.colourIndices[0] = 2; }, "corner 0 uses colour 2 of 2"},
      {[](Kq7Description& d) { d.uv2Indices[5] = 1; }, "corner 5 uses second UV 1 of 1"},
      {[](Kq7Description& d) { d.uvs.clear(); }, "corner 0 uses UV 0 of 0"},
      {[](Kq7Description& d) { d.morphTargets[2][1].vertex = 4; }, "morph delta 2 moves vertex 4 of 4"},
      {[](Kq7Description& d) { d.polygonBones[1] = 255; }, "polygon bone number 255 is above 254"},
      {[](Kq7Description& d) { d.textureName.assign(250, 't'); },
       "the first texture name is longer than 249 characters"},
  };
  for (const auto& [spoil, failure] : cases) {
    Kq7Description d = FullMesh();
    spoil(d);
    EXPECT_EQ(FailureOf(WriteKq7(d)), std::string("Bad KQ7 file mem.kq7: ") + failure);
  }
  Kq7Description d = FullMesh();
  d.polygonBones = {254, 0};  // the last bone number the one-byte count holds
  EXPECT_EQ(Parse(WriteKq7(d))->boneCount(), 255);
  EXPECT_EQ(FailureOf({'K', 'Q', '8', 0, 0, 0}), "Not KQ7 File");
  d.flags &= static_cast<uint8_t>(~AllTriangles);
  EXPECT_EQ(FailureOf(WriteKq7(d)), "Only triangles are suitable");
}

TEST(MeshCache, LoadsOnceByExactNameAndKeepsOnlyCompleteMeshes) {
  EXPECT_EQ(Mesh::FilePath("Objects/Ship.lwo", "Data"), "Data/Objects/Ship.kq7");
  EXPECT_THROW(Mesh::FilePath(std::string(248, 'n'), "x"), LoadError);

  testing::TempDir dir;
  const DataDirectories dirs{dir.path().string(), "textures", "scenes"};
  TextureCache textures(dirs);
  MeshCache cache(dirs, textures);
  Kq7Description d;
  d.flags = HasPolygons | AllTriangles;
  d.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  d.polygons = {{0, 1, 2}};
  dir.Write("Objects/Ship.kq7", Text(WriteKq7(d)));

  Mesh& ship = cache.FindOrLoad("Objects/Ship.lwo");
  EXPECT_EQ(ship.name(), "Objects/Ship.lwo");
  EXPECT_EQ(&cache.FindOrLoad("Objects/Ship.lwo"), &ship);
  EXPECT_NE(&cache.FindOrLoad("Objects/Ship.LWO"), &ship);  // another spelling, same file, another mesh
  EXPECT_EQ(cache.meshes().count(), 2);

  try {
    cache.FindOrLoad("Objects/None.lwo");
    ADD_FAILURE() << "a missing file loaded";
  } catch (const LoadError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot load file " + dir.path().string() + "/Objects/None.kq7 from directory");
  }
  Bytes broken = WriteKq7(d);
  broken.pop_back();
  dir.Write("Objects/Broken.kq7", Text(broken));
  EXPECT_THROW(cache.FindOrLoad("Objects/Broken.lwo"), LoadError);
  EXPECT_EQ(cache.meshes().count(), 2);
  dir.Write("Objects/Broken.kq7", Text(WriteKq7(d)));  // mended, it loads: nothing was kept
  const Mesh& mended = cache.FindOrLoad("Objects/Broken.lwo");
  EXPECT_EQ(&mended, cache.meshes().tail());
}

TEST(MeshCache, LoadsTheLargestMeshWellUnderASecond) {
  testing::TempDir dir;
  const DataDirectories dirs{dir.path().string(), "textures", "scenes"};
  Kq7Description d;
  d.flags = HasPolygons | AllTriangles | HasColours | HasMorphTargets | HasBones;
  d.colours = {{1, 1, 1, 1}};
  d.morphTargets.resize(2);
  for (int i = 0; i < 65535; ++i) {
    const auto v = static_cast<uint16_t>(i);
    d.positions.push_back({float(i % 256), float(i / 256), float(i % 7)});
    d.polygons.push_back({v, static_cast<uint16_t>((i + 1) % 65535), static_cast<uint16_t>((i + 256) % 65535)});
    d.boneVertexData.push_back(v);
    d.polygonBones.push_back(static_cast<uint16_t>(i % 200));
    d.morphTargets[i % 2].push_back({0, 0, 1, v});
  }
  d.colourIndices.assign(3 * 65535, 0);
  dir.Write("big.kq7", Text(WriteKq7(d)));

  TextureCache textures(dirs);
  MeshCache cache(dirs, textures);
  const auto start = std::chrono::steady_clock::now();
  const Mesh& mesh = cache.FindOrLoad("big.lwo");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("65535-vertex KQ7 mesh loaded in %.1f ms\n", seconds * 1000);
  EXPECT_EQ(mesh.cornerTotal(), 3u * 65535);
  EXPECT_EQ(mesh.boneCount(), 200);
  EXPECT_LT(seconds, 1.0);
}

}  // namespace
}  // namespace stagwerk
