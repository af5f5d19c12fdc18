// kq7 convert on LightWave, OBJ and glTF files that the tests write, read
// back with the player's own KQ7 reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Kq7TestFiles.h"

namespace stagwerk::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Polygon = std::vector<std::array<float, 3>>;

std::array<float, 2> UvAt(const Mesh& mesh, std::size_t corner) {
  const std::size_t i = mesh.uvIndices()[corner];
  return {mesh.uvs()[2 * i], mesh.uvs()[2 * i + 1]};
}

std::array<float, 3> NormalOf(const Mesh& mesh, std::size_t vertex) {
  const auto n = mesh.normals();
  return {n[3 * vertex], n[3 * vertex + 1], n[3 * vertex + 2]};
}

// A LightWave object keeps its points, its polygons in file order with
// their corners as written, and its UVs, exactly.
TEST(Kq7Convert, LightWaveObjectKeepsItsCoordinatesPolygonsAndUvs) {
  TempDir dir;
  const std::vector<std::array<float, 3>> points = {{0, 0, 0}, {1, 0, 0.5f}, {1, 2, 3}, {0, 1, -1}, {-2, 5, 7}};
  const std::vector<std::array<float, 2>> uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.25f, 0.75f}};
  const std::vector<std::vector<uint16_t>> polygons = {{0, 1, 2, 3}, {0, 2, 4}, {4, 3, 2, 1}};
  Lwo2Writer lwo;
  lwo.Tags({"Hull"});
  lwo.Layer();
  lwo.Points(points);
  lwo.Uvs(uvs);
  lwo.Faces(polygons);
  lwo.SurfaceTags({0, 0, 0});
  lwo.Surface("Hull");
  const std::string in = dir.Write("Objects/Ship.lwo", lwo.Bytes());

  const ToolRun run = RunTool({"convert", in, "--texture", "hull"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, IsEmpty());  // LightWave normals are assimp's own: nothing lost to warn about
  const auto mesh = LoadKq7(dir / "Objects/Ship.kq7");  // the name the player looks for

  EXPECT_EQ(mesh->flags(), HasPolygons | HasTexture);
  EXPECT_EQ(mesh->textureName(), "hull");
  ASSERT_EQ(mesh->vertexCount(), points.size());
  for (std::size_t v = 0; v < points.size(); ++v) {
    EXPECT_THAT(mesh->positions().subspan(3 * v, 3), ElementsAreArray(points[v])) << "point " << v;
  }
  EXPECT_THAT(mesh->cornerCounts(), ElementsAre(4, 3, 4));
  EXPECT_THAT(mesh->vertexIndices(), ElementsAre(0, 1, 2, 3, 0, 2, 4, 4, 3, 2, 1));
  for (std::size_t c = 0; c < mesh->cornerTotal(); ++c) {
    EXPECT_EQ(UvAt(*mesh, c), uvs[mesh->vertexIndices()[c]]) << "corner " << c;
  }
  EXPECT_EQ(mesh->uvCount(), uvs.size());  // shared, not one per corner

  // Triangulated, the quads' halves still face where the quads faced.
  const ToolRun split = RunTool({"convert", in, dir / "split.kq7", "--triangulate", "--texture", "hull"});
  ASSERT_EQ(split.status, 0) << split.err;
  const auto triangles = LoadKq7(dir / "split.kq7");
  EXPECT_EQ(triangles->flags(), HasPolygons | HasTexture | AllTriangles);
  EXPECT_EQ(triangles->polygonCount(), 5);
  EXPECT_THAT(triangles->positions(), ElementsAreArray(mesh->positions()));
  for (std::size_t v = 0; v < points.size(); ++v) {
    const auto a = NormalOf(*mesh, v), b = NormalOf(*triangles, v);
    EXPECT_GT(a[0] * b[0] + a[1] * b[1] + a[2] * b[2], 0) << "vertex " << v;
  }
}

// An OBJ quad that faces the modeller's camera (+Z, counter-clockwise) must
// face the player's camera, which looks along +Z: mirrored, reversed, and
// its normal pointing to -Z.
TEST(Kq7Convert, ObjQuadFacesThePlayersCameraWithItsMaterialTexture) {
  TempDir dir;
  dir.Write("quad.mtl", "newmtl brick\nKd 1 1 1\nmap_Kd ..\\textures\\Brick Wall.png\n");
  dir.Write("textures/Brick Wall.png", OnePixelPng());
  const std::string in = dir.Write("quad.obj",
                                   "mtllib quad.mtl\n"
                                   "v -1 -1 0.5\nv 1 -1 0.5\nv 1 1 0.5\nv -1 1 0.5\n"
                                   "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                   "vn 0 0 1\n"
                                   "usemtl brick\nf 1/1/1 2/2/1 3/3/1 4/4/1\n");
  const ToolRun run = RunTool({"convert", in});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("normals are dropped"));
  const auto mesh = LoadKq7(dir / "quad.kq7");
  EXPECT_EQ(mesh->flags(), HasPolygons | HasTexture);
  EXPECT_EQ(mesh->textureName(), "Brick Wall");
  EXPECT_THAT(CornerPositions(*mesh),
              ElementsAre(ElementsAre(std::array<float, 3>{-1, 1, -0.5f}, std::array<float, 3>{1, 1, -0.5f},
                                      std::array<float, 3>{1, -1, -0.5f}, std::array<float, 3>{-1, -1, -0.5f})));
  // UVs stay with their corners; OBJ and the player both put t = 0 at the bottom.
  EXPECT_EQ(UvAt(*mesh, 0), (std::array<float, 2>{0, 1}));
  EXPECT_EQ(UvAt(*mesh, 1), (std::array<float, 2>{1, 1}));
  EXPECT_EQ(UvAt(*mesh, 2), (std::array<float, 2>{1, 0}));
  EXPECT_EQ(UvAt(*mesh, 3), (std::array<float, 2>{0, 0}));
  for (std::size_t v = 0; v < 4; ++v) {
    const auto n = NormalOf(*mesh, v);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(n[1], 0);
    EXPECT_LT(n[2], 0) << "vertex " << v << " faces away from the camera";
  }
}

// Several objects and materials merge into one mesh: shared places become
// one vertex, colours are shared, the first texture wins with a warning.
TEST(Kq7Convert, ObjObjectsMergeSharingVerticesAndColours) {
  TempDir dir;
  dir.Write("two.mtl", "newmtl a\nmap_Kd a.png\nnewmtl b\nmap_Kd sub/b.jpg\n");
  const std::string in = dir.Write("two.obj",
                                   "mtllib two.mtl\n"
                                   "v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 1 1 0 1 0 0\nv 2 0 0 1 0 0\n"
                                   "vt 0 0\nvt 1 0\nvt 1 1\n"
                                   "o first\nusemtl a\nf 1/1 2/2 3/3\n"
                                   "o second\nusemtl b\nf 2/1 4/2 3/3\n");
  const ToolRun run = RunTool({"convert", in, "--output", dir / "out.kq7", "--no-pictures"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("several textures (a, b); the first, a, is used"));
  const auto mesh = LoadKq7(dir / "out.kq7");
  EXPECT_EQ(mesh->flags(), HasPolygons | HasTexture | HasColours | AllTriangles);
  EXPECT_EQ(mesh->textureName(), "a");
  EXPECT_EQ(mesh->vertexCount(), 4);
  EXPECT_EQ(mesh->polygonCount(), 2);
  EXPECT_EQ(mesh->uvCount(), 3);
  ASSERT_EQ(mesh->colourCount(), 2);  // red and green
  EXPECT_THAT(CornerPositions(*mesh),
              ElementsAre(ElementsAre(std::array<float, 3>{1, 1, 0}, std::array<float, 3>{1, 0, 0},
                                      std::array<float, 3>{0, 0, 0}),
                          ElementsAre(std::array<float, 3>{1, 1, 0}, std::array<float, 3>{2, 0, 0},
                                      std::array<float, 3>{1, 0, 0})));
  // Corner 1 is vertex (1, 0, 0), the green one.
  const std::size_t green = mesh->colourIndices()[1];
  EXPECT_THAT(mesh->colours().subspan(4 * green, 4), ElementsAre(0, 1, 0, 1));
  EXPECT_THAT(mesh->colours().subspan(4 * mesh->colourIndices()[0], 4), ElementsAre(1, 0, 0, 1));

  // Unwelded, each object keeps its own three vertices.
  ASSERT_EQ(RunTool({"convert", in, dir / "apart.kq7", "--no-weld"}).status, 0);
  EXPECT_EQ(LoadKq7(dir / "apart.kq7")->vertexCount(), 6);
}

// glTF: node transform, a morph target as deltas of the vertices it moves,
// colours, both UV sets with --texture2, and an environment map.
TEST(Kq7Convert, GltfMorphTargetColoursAndSecondUvSet) {
  TempDir dir;
  GltfPrimitive g;
  g.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  g.indices = {0, 1, 2, 2, 1, 3};
  g.uv0 = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  g.uv1 = {{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}, {0.25f, 0.5f}};
  g.colours = {{1, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, 1, 0.5f}, {1, 0, 0, 1}};
  g.targets = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0.5f, 0, 1}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
  g.nodeExtras = "\"translation\":[0,0,3],\"scale\":[2,2,2],";
  const std::string in = dir.Write("shape.gltf", GltfText(g));

  const ToolRun run = RunTool({"convert", in, "--texture", "skin", "--texture2", "dirt", "--env", "chrome"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("the player shows dirt and not the environment map chrome"));
  const auto mesh = LoadKq7(dir / "shape.kq7");
  EXPECT_EQ(mesh->flags(), HasPolygons | AllTriangles | HasTexture | HasSecondTexture | HasEnvironmentMap |
                               HasColours | HasMorphTargets);
  EXPECT_EQ(mesh->textureName(), "skin");
  EXPECT_EQ(mesh->texture2Name(), "dirt");
  // Scaled by 2, moved to z = 3, then mirrored.
  EXPECT_THAT(CornerPositions(*mesh), ElementsAre(ElementsAre(std::array<float, 3>{0, 2, -3},
                                                              std::array<float, 3>{2, 0, -3},
                                                              std::array<float, 3>{0, 0, -3}),
                                                  ElementsAre(std::array<float, 3>{2, 2, -3},
                                                              std::array<float, 3>{2, 0, -3},
                                                              std::array<float, 3>{0, 2, -3})));
  // Target 0 moves only the fourth vertex, scaled and mirrored but not shifted;
  // target 1 moves nothing and keeps its place in the list.
  ASSERT_THAT(mesh->deltaCounts(), ElementsAre(1, 0));
  const MorphDelta d = mesh->morphDeltas()[0];
  EXPECT_EQ((std::array<float, 3>{d.dx, d.dy, d.dz}), (std::array<float, 3>{1, 0, -2}));
  EXPECT_THAT(mesh->positions().subspan(3 * d.vertex, 3), ElementsAre(2, 2, -3));
  // glTF puts t = 0 at the top of the picture, the player at the bottom.
  EXPECT_EQ(mesh->uvCount(), 4);
  EXPECT_EQ(UvAt(*mesh, 0), (std::array<float, 2>{0, 0}));  // the corner at (0, 1) in glTF
  EXPECT_EQ(UvAt(*mesh, 2), (std::array<float, 2>{0, 1}));
  EXPECT_EQ(mesh->uv2Count(), 2);
  EXPECT_EQ(mesh->colourCount(), 2);
  const std::size_t blue = mesh->colourIndices()[0];
  // No material is glTF's opaque default: the colour's alpha is dropped.
  EXPECT_THAT(mesh->colours().subspan(4 * blue, 4), ElementsAre(0, 0, 1, 1));

  // The same file as a point set keeps the vertices and the morph.
  ASSERT_EQ(RunTool({"convert", in, dir / "points.kq7", "--points", "--env", "spark"}).status, 0);
  const auto points = LoadKq7(dir / "points.kq7");
  EXPECT_EQ(points->flags(), HasEnvironmentMap | HasMorphTargets);
  EXPECT_EQ(points->vertexCount(), 4);
  EXPECT_EQ(points->polygonCount(), 0);
  EXPECT_EQ(points->texture2Name(), "spark");
  EXPECT_THAT(points->deltaCounts(), ElementsAre(1, 0));
}

// What the format cannot hold is an error naming the file and the limit;
// no half-written file is left behind.
TEST(Kq7Convert, OverTheLimitsIsAClearError) {
  TempDir dir;
  // 21,846 triangles that share no place: 65,538 vertices.
  std::string stl(80, '\0');
  const uint32_t triangles = 21846;
  stl.append(reinterpret_cast<const char*>(&triangles), 4);
  for (uint32_t t = 0; t < triangles; ++t) {
    const float z = static_cast<float>(t);
    const float f[12] = {0, 0, 1, 0, 0, z, 1, 0, z, 0, 1, z};
    stl.append(reinterpret_cast<const char*>(f), sizeof f);
    stl.append(2, '\0');
  }
  const std::string big = dir.Write("big.stl", stl);
  const ToolRun run = RunTool({"convert", big});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr(big + ": 65,538 vertices; a KQ7 mesh holds at most 65,535 vertices"));
  EXPECT_FALSE(std::filesystem::exists(dir / "big.kq7"));

  const std::string quad = dir.Write("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nf 1/1 2/1 3/1\n");
  const ToolRun longName = RunTool({"convert", quad, "--texture", std::string(250, 'x')});
  EXPECT_EQ(longName.status, 1);
  EXPECT_THAT(longName.err, HasSubstr("has 250 characters; a KQ7 file holds at most 249"));
  EXPECT_EQ(RunTool({"convert", quad, "--texture", std::string(249, 'x')}).status, 0);

  const ToolRun noUv2 = RunTool({"convert", quad, "--texture2", "dirt"});
  EXPECT_EQ(noUv2.status, 1);
  EXPECT_THAT(noUv2.err, HasSubstr(quad + ": has no second UV set"));

  const std::string line = dir.Write("line.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n");
  EXPECT_EQ(RunTool({"convert", line}).status, 0);  // a line is a polygon of two corners
  const std::string loose = dir.Write("loose.obj", "v 0 0 0\nv 1 0 0\n");
  const ToolRun none = RunTool({"convert", loose});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr(loose + ":"));
}

}  // namespace
}  // namespace stagwerk::testing
