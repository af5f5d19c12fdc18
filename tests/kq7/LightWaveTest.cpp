// kq7 convert on LightWave objects (LWO2 and LWOB) written chunk by chunk by
// the tests, read back with the player's own KQ7 reader: projections as UVs
// checked against points worked out by hand, per-polygon UVs, morph maps,
// layers and their pivots, surface colours, and files that are broken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "Kq7TestFiles.h"
#include "LightWaveFiles.h"

namespace stagwerk::testing {
namespace {

using namespace lwo;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Uv = std::array<float, 2>;

constexpr double kPi = std::numbers::pi;

struct Corner {
  Point place;
  Uv uv;
  std::array<float, 4> colour;
};

// Every polygon's corners with what they carry, in file order.
std::vector<std::vector<Corner>> Corners(const Mesh& mesh) {
  std::vector<std::vector<Corner>> polygons;
  std::size_t corner = 0;
  for (std::size_t p = 0; p < mesh.polygonCount(); ++p) {
    const std::size_t m = mesh.Has(AllTriangles) ? 3 : mesh.cornerCounts()[p];
    auto& polygon = polygons.emplace_back();
    for (std::size_t i = 0; i < m; ++i, ++corner) {
      const std::size_t v = mesh.vertexIndices()[corner];
      const auto p = mesh.positions();
      Corner c{{p[3 * v], p[3 * v + 1], p[3 * v + 2]}, {0, 0}, {1, 1, 1, 1}};
      if (mesh.Has(HasTexture)) {
        const std::size_t t = mesh.uvIndices()[corner];
        c.uv = {mesh.uvs()[2 * t], mesh.uvs()[2 * t + 1]};
      }
      if (mesh.Has(HasColours)) {
        const std::size_t k = mesh.colourIndices()[corner];
        const auto colours = mesh.colours();
        c.colour = {colours[4 * k], colours[4 * k + 1], colours[4 * k + 2], colours[4 * k + 3]};
      }
      polygon.push_back(c);
    }
  }
  return polygons;
}

void ExpectUvs(const std::vector<Corner>& polygon, const std::vector<Uv>& expected, const std::string& what) {
  ASSERT_EQ(polygon.size(), expected.size()) << what;
  for (std::size_t c = 0; c < expected.size(); ++c) {
    EXPECT_NEAR(polygon[c].uv[0], expected[c][0], 1e-5) << what << ", corner " << c << " u";
    EXPECT_NEAR(polygon[c].uv[1], expected[c][1], 1e-5) << what << ", corner " << c << " v";
  }
}

struct Converted {
  ToolRun run;
  std::unique_ptr<Mesh> mesh;
};

Converted Convert(const TempDir& dir, const std::string& bytes, std::vector<std::string> options = {}) {
  const std::string in = dir.Write("Objects/Object.lwo", bytes);
  std::vector<std::string> args{"convert", in, dir / "out.kq7", "--no-pictures"};
  args.insert(args.end(), options.begin(), options.end());
  Converted c{RunTool(args), nullptr};
  if (c.run.status == 0) c.mesh = LoadKq7(dir / "out.kq7");
  return c;
}

// A point at heading theta (from +Z towards +X) and height y on a circle of radius r.
Point Around(double theta, float y, double r = 1) {
  return {static_cast<float>(r * std::sin(theta)), y, static_cast<float>(r * std::cos(theta))};
}

// ------------------------------------------------------------ planar and cubic

// Planar maps on each axis, and one turned by a heading of 90 degrees: the
// image's corners land on the quads' corners, upright and unmirrored seen
// from the axis.
TEST(Kq7LightWave, PlanarMapsPutTheImageCornersOnTheQuadCorners) {
  TempDir dir;
  const ImageBlock front = Projected(0, 2, {2, 4, 1}, {0.5f, 0, 0});
  const ImageBlock side = Projected(0, 0, {1, 2, 4}, {3, 0, 0});
  const ImageBlock top = Projected(0, 1, {2, 1, 2}, {0, 5, 0});
  ImageBlock turned = Projected(0, 2, {2, 2, 1}, {0, 0, 10});
  turned.rotation = {static_cast<float>(kPi / 2), 0, 0};
  const std::string bytes = Lwo2(
      Tags({"Front", "Side", "Top", "Turned"}) + Layr(0, {0, 0, 0}, "") +
      Pnts({{-0.5f, -2, 0}, {1.5f, -2, 0}, {1.5f, 2, 0}, {-0.5f, 2, 0},       // facing -Z
            {3, -1, -2}, {3, -1, 2}, {3, 1, 2}, {3, 1, -2},                    // in x = 3
            {-1, 5, -1}, {1, 5, -1}, {1, 5, 1}, {-1, 5, 1},                    // in y = 5
            {0, -1, 9}, {0, -1, 11}, {0, 1, 11}, {0, 1, 9}}) +                 // in x = 0
      Pols({{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}}) + Ptag({0, 1, 2, 3}) +
      Clip(1, "Images/Brick.iff") + Surf("Front", {1, 1, 1}, Blok(front)) + Surf("Side", {1, 1, 1}, Blok(side)) +
      Surf("Top", {1, 1, 1}, Blok(top)) + Surf("Turned", {1, 1, 1}, Blok(turned)));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_THAT(c.run.err, IsEmpty());
  EXPECT_EQ(c.mesh->flags(), HasPolygons | HasTexture);  // textured surfaces only: no colours
  EXPECT_EQ(c.mesh->textureName(), "Brick");
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 4);
  const std::vector<Uv> square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  // u = (x - 0.5)/2 + 1/2, v = y/4 + 1/2
  ExpectUvs(polygons[0], square, "planar Z");
  // u = z/4 + 1/2, v = y/2 + 1/2
  ExpectUvs(polygons[1], square, "planar X");
  // u = x/2 + 1/2, v = z/2 + 1/2
  ExpectUvs(polygons[2], square, "planar Y");
  // Heading 90 turns the texture's Z to the object's +X: in its frame the
  // point (0, y, z) is (-(z - 10), y, 0), so u = -(z - 10)/2 + 1/2.
  ExpectUvs(polygons[3], {{1, 0}, {0, 0}, {0, 1}, {1, 1}}, "planar Z turned by heading 90");
}

// Cubic: each polygon takes the planar map of the axis its normal is
// closest to.
TEST(Kq7LightWave, CubicMapProjectsEachFaceAlongItsOwnAxis) {
  TempDir dir;
  const ImageBlock cube = Projected(3, 2, {2, 2, 2});
  const std::string bytes = Lwo2(
      Tags({"Box"}) + Layr(0, {0, 0, 0}, "") +
      Pnts({{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},  // front face, z = -1
            {1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1},      // right face, x = 1
            {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}}) +   // top face, y = 1
      Pols({{0, 3, 2, 1}, {4, 7, 6, 5}, {8, 11, 10, 9}}) + Ptag({0, 0, 0}) + Clip(1, "crate.tga") +
      Surf("Box", {1, 1, 1}, Blok(cube)));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 3);
  ExpectUvs(polygons[0], {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, "front: u = x/2 + 1/2, v = y/2 + 1/2");
  ExpectUvs(polygons[1], {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, "right: u = z/2 + 1/2, v = y/2 + 1/2");
  ExpectUvs(polygons[2], {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, "top: u = x/2 + 1/2, v = z/2 + 1/2");
}

// ------------------------------------------------------------ cylinder and sphere

// Eight quads around Y. The image's middle faces -Z (u = 1/2), its seam is
// at +Z; u falls as the heading grows. The quad that meets the seam runs
// from u = 7/8 to 1, not back across the image to 0: the seam's points carry
// u = 0 in one quad and u = 1 in the other.
std::string Cylinder(float widthWraps) {
  std::vector<Point> points;
  for (int k = 0; k < 8; ++k) points.push_back(Around(k * kPi / 4, -1));
  for (int k = 0; k < 8; ++k) points.push_back(Around(k * kPi / 4, 1));
  std::vector<std::vector<uint32_t>> quads;
  for (uint32_t k = 0; k < 8; ++k) quads.push_back({k, (k + 1) % 8, 8 + (k + 1) % 8, 8 + k});
  ImageBlock can = Projected(1, 1, {2, 2, 2});
  can.widthWraps = widthWraps;
  return Lwo2(Tags({"Can"}) + Layr(0, {0, 0, 0}, "") + Pnts(points) + Pols(quads) +
              Ptag(std::vector<uint16_t>(8, 0)) + Clip(1, "Images/Label.png") + Surf("Can", {1, 1, 1}, Blok(can)));
}

TEST(Kq7LightWave, CylinderAboutYWrapsOnceWithItsSeamSplit) {
  TempDir dir;
  const Converted c = Convert(dir, Cylinder(1));
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.mesh->vertexCount(), 16);  // the seam's points are not doubled...
  EXPECT_EQ(c.mesh->uvCount(), 18);      // ...their UVs are: 9 columns, top and bottom
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 8);
  for (int k = 0; k < 8; ++k) {
    // Corners k and k + 1 of the ring, bottom then top: u = 1 - j/8.
    const float a = 1 - k / 8.0f, b = 1 - (k + 1) / 8.0f;
    ExpectUvs(polygons[static_cast<std::size_t>(k)], {{a, 0}, {b, 0}, {b, 1}, {a, 1}}, "quad " + std::to_string(k));
  }
  // Front and middle: the point at heading 180 (x = 0, z = -1) has u = 1/2.
  EXPECT_NEAR(polygons[4][0].place[2], -1, 1e-6);
  EXPECT_NEAR(polygons[4][0].uv[0], 0.5, 1e-6);

  // Wrapped twice round: u doubles, and the seam quad runs to 2.
  const Converted twice = Convert(dir, Cylinder(2));
  ASSERT_EQ(twice.run.status, 0) << twice.run.err;
  const auto wrapped = Corners(*twice.mesh);
  ExpectUvs(wrapped[0], {{2, 0}, {1.75f, 0}, {1.75f, 1}, {2, 1}}, "seam quad wrapped twice");
  ExpectUvs(wrapped[4], {{1, 0}, {0.75f, 0}, {0.75f, 1}, {1, 1}}, "front quad wrapped twice");
}

// About X and Z the seam is at -Y and the image's middle at +Y; v runs
// along the axis.
TEST(Kq7LightWave, CylindersAboutXAndZ) {
  TempDir dir;
  const ImageBlock aboutZ = Projected(1, 2, {1, 1, 1});
  const ImageBlock aboutX = Projected(1, 0, {1, 1, 1});
  const std::string bytes = Lwo2(
      Tags({"Z", "X"}) + Layr(0, {0, 0, 0}, "") +
      Pnts({{0, 1, 0.5f}, {1, 0, 0}, {-1, 0, 0}, {0.5f, 1, 0}, {0, 0, 1}, {0, 0, -1}}) + Pols({{0, 1, 2}, {3, 4, 5}}) +
      Ptag({0, 1}) + Clip(1, "pipe.iff") + Surf("Z", {1, 1, 1}, Blok(aboutZ)) + Surf("X", {1, 1, 1}, Blok(aboutX)));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 2);
  // About Z: heading atan2(x, -y); +Y is the middle, +X three quarters; v = z + 1/2.
  ExpectUvs(polygons[0], {{0.5f, 1}, {0.75f, 0.5f}, {0.25f, 0.5f}}, "about Z");
  // About X: heading atan2(-z, -y); +Y the middle, +Z a quarter; v = x + 1/2.
  ExpectUvs(polygons[1], {{0.5f, 1}, {0.25f, 0.5f}, {0.75f, 0.5f}}, "about X");
}

// A sphere of eight segments with rings at latitudes 45, 0 and -45: v is
// 1 at the north pole, 3/4, 1/2 on the equator, 1/4, and 0 at the south
// pole. A pole corner takes the middle of its triangle's other two u.
std::string Sphere(float widthWraps, float heightWraps) {
  std::vector<Point> points{{0, 1, 0}, {0, -1, 0}};
  for (int ring = 0; ring < 3; ++ring) {
    const double latitude = (1 - ring) * kPi / 4;
    for (int k = 0; k < 8; ++k) {
      points.push_back(Around(k * kPi / 4, static_cast<float>(std::sin(latitude)), std::cos(latitude)));
    }
  }
  const auto at = [](uint32_t ring, uint32_t k) { return 2 + 8 * ring + k % 8; };
  std::vector<std::vector<uint32_t>> polygons;
  for (uint32_t k = 0; k < 8; ++k) polygons.push_back({0, at(0, k + 1), at(0, k)});  // north cap
  for (uint32_t ring = 0; ring < 2; ++ring) {
    for (uint32_t k = 0; k < 8; ++k) {
      polygons.push_back({at(ring, k), at(ring, k + 1), at(ring + 1, k + 1), at(ring + 1, k)});
    }
  }
  for (uint32_t k = 0; k < 8; ++k) polygons.push_back({1, at(2, k), at(2, k + 1)});  // south cap
  ImageBlock globe = Projected(2, 1, {5, 5, 5});
  globe.widthWraps = widthWraps;
  globe.heightWraps = heightWraps;
  return Lwo2(Tags({"Globe"}) + Layr(0, {0, 0, 0}, "") + Pnts(points) + Pols(polygons) +
              Ptag(std::vector<uint16_t>(polygons.size(), 0)) + Clip(1, "Images/Earth.jpg") +
              Surf("Globe", {1, 1, 1}, Blok(globe)));
}

TEST(Kq7LightWave, SpherePolesEquatorAndSeam) {
  TempDir dir;
  const Converted c = Convert(dir, Sphere(1, 1));
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 32);
  for (int k = 0; k < 8; ++k) {
    const float a = 1 - k / 8.0f, b = 1 - (k + 1) / 8.0f, middle = (a + b) / 2;
    const std::string n = std::to_string(k);
    ExpectUvs(polygons[static_cast<std::size_t>(k)], {{middle, 1}, {b, 0.75f}, {a, 0.75f}}, "north cap " + n);
    ExpectUvs(polygons[static_cast<std::size_t>(8 + k)], {{a, 0.75f}, {b, 0.75f}, {b, 0.5f}, {a, 0.5f}},
              "northern band " + n);
    ExpectUvs(polygons[static_cast<std::size_t>(16 + k)], {{a, 0.5f}, {b, 0.5f}, {b, 0.25f}, {a, 0.25f}},
              "southern band " + n);
    ExpectUvs(polygons[static_cast<std::size_t>(24 + k)], {{middle, 0}, {a, 0.25f}, {b, 0.25f}}, "south cap " + n);
  }

  // Wrapped twice each way: u doubles; v = 1 - 2 * (1/2 - latitude/pi).
  const Converted wrapped = Convert(dir, Sphere(2, 2));
  ASSERT_EQ(wrapped.run.status, 0) << wrapped.run.err;
  const auto twice = Corners(*wrapped.mesh);
  ExpectUvs(twice[0], {{1.875f, 1}, {1.75f, 0.5f}, {2, 0.5f}}, "north cap 0 wrapped twice");
  ExpectUvs(twice[16], {{2, 0}, {1.75f, 0}, {1.75f, -0.5f}, {2, -0.5f}}, "southern band 0 wrapped twice");
  ExpectUvs(twice[24], {{1.875f, -1}, {2, -0.5f}, {1.75f, -0.5f}}, "south cap 0 wrapped twice");
}

// ------------------------------------------------------------ UV maps and VMAD

// A UV map names every point's UV; a VMAD gives one point another UV in one
// polygon only. The point stays one vertex, its corners carry both UVs.
// Indices in their four-byte form and an odd-sized chunk read as well.
TEST(Kq7LightWave, PerPolygonUvsOverrideTheMapForTheirPolygonOnly) {
  TempDir dir;
  ImageBlock uvBlock = Projected(5, 2, {1, 1, 1});
  uvBlock.uvMap = "main";
  std::string longPols = "FACE" + U2(4) + VX(0, true) + VX(1, true) + VX(4) + VX(3) + U2(4) + VX(1) + VX(2) +
                         VX(5, true) + VX(4);
  const std::string bytes = Lwo2(
      Tags({"Skin"}) + Layr(0, {0, 0, 0}, "") + Chunk("XTRA", "odd") +
      Pnts({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}}) +
      Vmap("TXUV", "other", {{0, {0.5f, 0.5f}}}) +
      Vmap("TXUV", "main", {{0, {0, 0}}, {1, {0.5f, 0}}, {2, {1, 0}}, {3, {0, 1}}, {4, {0.5f, 1}}, {5, {1, 1}}}) +
      Chunk("POLS", longPols) + Ptag({0, 0}) + Vmad("TXUV", "main", {{1, 1, {0.9f, 0.1f}}}) +
      Clip(1, "skin.jpg") + Surf("Skin", {1, 1, 1}, Blok(uvBlock)));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  // The other map is the second UV set, for --texture2.
  EXPECT_THAT(c.run.err, HasSubstr("the UV map \"other\" is dropped: name its texture with --texture2 NAME"));
  EXPECT_EQ(c.mesh->vertexCount(), 6);
  EXPECT_EQ(c.mesh->uvCount(), 7);
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 2);
  ExpectUvs(polygons[0], {{0, 0}, {0.5f, 0}, {0.5f, 1}, {0, 1}}, "first quad: the map");
  ExpectUvs(polygons[1], {{0.9f, 0.1f}, {1, 0}, {1, 1}, {0.5f, 1}}, "second quad: the VMAD at point 1");

  const Converted both = Convert(dir, bytes, {"--texture2", "dirt"});
  ASSERT_EQ(both.run.status, 0) << both.run.err;
  EXPECT_EQ(both.mesh->flags(), HasPolygons | HasTexture | HasSecondTexture);
  EXPECT_EQ(both.mesh->uv2Count(), 2);  // (0.5, 0.5) at point 0, (0, 0) where the map has none
}

// ------------------------------------------------------------ morph maps

// MORF holds how far each point moves, SPOT where it moves to; each map is a
// morph target, in the order the file names them, holding the points that move.
TEST(Kq7LightWave, MorphMapsBecomeMorphTargets) {
  TempDir dir;
  const std::string bytes = Lwo2(
      Tags({"Face"}) + Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) +
      Vmap("SPOT", "Flat", {{1, {1, 0, 0}}, {3, {1, 1, 0}}}) +
      Vmap("MORF", "Smile", {{0, {0, 0, 0}}, {2, {0, 0.5f, -0.25f}}}) + Pols({{0, 1, 2, 3}}) + Ptag({0}) +
      Surf("Face", {1, 0.5f, 0}));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.mesh->flags(), HasPolygons | HasColours | HasMorphTargets);
  ASSERT_THAT(c.mesh->deltaCounts(), ElementsAre(1, 1));
  const MorphDelta flat = c.mesh->morphDeltas()[0], smile = c.mesh->morphDeltas()[1];
  EXPECT_THAT(c.mesh->positions().subspan(3 * flat.vertex, 3), ElementsAre(0, 1, 0));
  EXPECT_EQ((Point{flat.dx, flat.dy, flat.dz}), (Point{1, 0, 0}));  // SPOT (1, 1, 0) less the point
  EXPECT_THAT(c.mesh->positions().subspan(3 * smile.vertex, 3), ElementsAre(1, 1, 0));
  EXPECT_EQ((Point{smile.dx, smile.dy, smile.dz}), (Point{0, 0.5f, -0.25f}));
  // No image: the surface's colour is every corner's.
  const auto polygons = Corners(*c.mesh);
  for (const Corner& corner : polygons[0]) EXPECT_THAT(corner.colour, ElementsAre(1, 0.5f, 0, 1));
}

// ------------------------------------------------------------ layers

// Two layers with pivots, the second with its own points, polygons and UV
// map (indices from its own PNTS). Merged, each stays where it is in the
// object; one layer alone is written around its pivot.
TEST(Kq7LightWave, LayersMergeInPlaceOrOneComesAroundItsPivot) {
  TempDir dir;
  const std::string bytes = Lwo2(
      Tags({"Base", "Arm"}) + Layr(0, {1, 0, 0}, "base") + Pnts({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
      Pols({{0, 1, 2}}) + Ptag({0}) + Layr(1, {0, 2, 0}, "arm", 0) + Pnts({{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}) +
      Vmap("TXUV", "uv", {{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}}) + Pols({{0, 2, 1}}) + Ptag({1}) +
      Surf("Base", {1, 0, 0}) + Surf("Arm", {0, 1, 0}));
  const Converted all = Convert(dir, bytes, {"--texture", "arm"});
  ASSERT_EQ(all.run.status, 0) << all.run.err;
  EXPECT_THAT(CornerPositions(*all.mesh), ElementsAre(ElementsAre(Point{0, 0, 0}, Point{1, 0, 0}, Point{0, 1, 0}),
                                                      ElementsAre(Point{5, 5, 5}, Point{5, 6, 5}, Point{6, 5, 5})));
  EXPECT_THAT(all.run.err, HasSubstr("textured polygon corners have no UV"));  // the base layer's

  const Converted first = Convert(dir, bytes, {"--layer", "1"});
  ASSERT_EQ(first.run.status, 0) << first.run.err;
  EXPECT_THAT(CornerPositions(*first.mesh), ElementsAre(ElementsAre(Point{-1, 0, 0}, Point{0, 0, 0}, Point{-1, 1, 0})));
  EXPECT_EQ(first.mesh->flags(), HasPolygons | HasColours | AllTriangles);

  const Converted arm = Convert(dir, bytes, {"--layer=2", "--texture", "arm"});
  ASSERT_EQ(arm.run.status, 0) << arm.run.err;
  EXPECT_THAT(arm.run.err, IsEmpty());
  const auto polygons = Corners(*arm.mesh);
  ASSERT_EQ(polygons.size(), 1);
  EXPECT_THAT(CornerPositions(*arm.mesh), ElementsAre(ElementsAre(Point{5, 3, 5}, Point{5, 4, 5}, Point{6, 3, 5})));
  ExpectUvs(polygons[0], {{0, 0}, {0, 1}, {1, 0}}, "the arm's own UV map");

  const Converted none = Convert(dir, bytes, {"--layer", "3"});
  EXPECT_EQ(none.run.status, 1);
  EXPECT_THAT(none.run.err, AllOf(HasSubstr("Object.lwo: has no layer 3 (its layers are 1, 2)")));
  EXPECT_EQ(RunTool({"convert", dir / "Objects/Object.lwo", "--layer", "0"}).status, 2);
}

// ------------------------------------------------------------ LWOB

// LightWave 5: surfaces by number, a detail polygon, a planar and a
// cylindrical image map (TFP0 the width wraps). The image-less surface keeps
// its colour; the textured ones are white.
TEST(Kq7LightWave, LightWave5ObjectWithImageMapsDetailPolygonsAndColours) {
  TempDir dir;
  const float s = static_cast<float>(std::sqrt(0.5));
  LwobTexture label;
  label.type = "Planar Image Map";
  label.flags = 4;
  label.size = {2, 2, 1};
  label.image = "Images\\Label.iff";
  LwobTexture can;
  can.type = "Cylindrical Image Map";
  can.flags = 2;
  can.size = {2, 2, 2};
  can.widthWraps = 2;
  can.image = "Images\\Label.iff";
  const std::string bytes = Lwob(
      Pnts({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0},            // the label's quad
            {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},            // a painted quad behind it
            {0, 0, 1}, {0.5f, 0, 1}, {0, 0.5f, 1},                     // a detail on it
            {s, -1, -s}, {-s, -1, -s}, {-s, 1, -s}, {s, 1, -s}}) +     // a can's front, headings 135 to 225
      Srfs({"Label", "Paint", "Can"}) +
      LwobPols({{{0, 1, 2, 3}, 1, {}}, {{4, 5, 6, 7}, 2, {{{8, 9, 10}, 1, {}}}}, {{11, 12, 13, 14}, 3, {}}}) +
      LwobSurf("Label", {200, 200, 200}, {label}) + LwobSurf("Paint", {255, 0, 0}) +
      LwobSurf("Can", {200, 200, 200}, {can}));
  const Converted c = Convert(dir, bytes);
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_THAT(c.run.err, IsEmpty());
  EXPECT_EQ(c.mesh->flags(), HasPolygons | HasTexture | HasColours);
  EXPECT_EQ(c.mesh->textureName(), "Label");
  const auto polygons = Corners(*c.mesh);
  ASSERT_EQ(polygons.size(), 4);
  ExpectUvs(polygons[0], {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, "planar label");
  ExpectUvs(polygons[2], {{0.5f, 0.5f}, {0.75f, 0.5f}, {0.5f, 0.75f}}, "the detail polygon, on the label's surface");
  // Headings 135 and 225: lon 5/8 and 3/8, twice round.
  ExpectUvs(polygons[3], {{1.25f, 0}, {0.75f, 0}, {0.75f, 1}, {1.25f, 1}}, "cylindrical can");
  for (const Corner& corner : polygons[0]) EXPECT_THAT(corner.colour, ElementsAre(1, 1, 1, 1));
  for (const Corner& corner : polygons[1]) EXPECT_THAT(corner.colour, ElementsAre(1, 0, 0, 1));
  for (const Corner& corner : polygons[2]) EXPECT_THAT(corner.colour, ElementsAre(1, 1, 1, 1));
}

// A colour map gives the corners' colours; points it leaves out keep their
// surface's colour. --triangulate cuts a concave polygon inside its outline.
TEST(Kq7LightWave, ColourMapAndTriangulatedConcavePolygon) {
  TempDir dir;
  // An L, clockwise seen from -Z as LightWave winds a polygon facing there.
  const std::vector<Point> l{{0, 0, 0}, {0, 2, 0}, {1, 2, 0}, {1, 1, 0}, {2, 1, 0}, {2, 0, 0}};
  const std::string bytes = Lwo2(
      Tags({"L"}) + Layr(0, {0, 0, 0}, "") + Pnts(l) + Pols({{0, 1, 2, 3, 4, 5}}) + Ptag({0}) +
      Vmap("RGBA", "paint", {{0, {1, 0, 0, 1}}, {3, {0, 0, 1, 0.5f}}}) + Surf("L", {0, 1, 0}));
  const Converted c = Convert(dir, bytes, {"--triangulate"});
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.mesh->flags(), HasPolygons | HasColours | AllTriangles);
  const auto triangles = Corners(*c.mesh);
  ASSERT_EQ(triangles.size(), 4);
  double area = 0;
  for (const auto& t : triangles) {
    // Each facing -Z as the L does: (b - a) x (c - a) has a negative z.
    const double z = (t[1].place[0] - t[0].place[0]) * (t[2].place[1] - t[0].place[1]) -
                     (t[1].place[1] - t[0].place[1]) * (t[2].place[0] - t[0].place[0]);
    EXPECT_LT(z, 0);
    area -= z / 2;
    for (const Corner& corner : t) {
      const std::array<float, 4> expected = corner.place == l[0]   ? std::array<float, 4>{1, 0, 0, 1}
                                            : corner.place == l[3] ? std::array<float, 4>{0, 0, 1, 0.5f}
                                                                   : std::array<float, 4>{0, 1, 0, 1};
      EXPECT_EQ(corner.colour, expected);
    }
  }
  EXPECT_NEAR(area, 3, 1e-6);  // the L's own area: no triangle outside it
}

// ------------------------------------------------------------ broken files

// Every broken file is refused with status 1 and a message naming it and
// what is wrong; nothing is written.
TEST(Kq7LightWave, BrokenFilesAreRefusedNamingTheFileAndTheFault) {
  TempDir dir;
  const std::string good = Lwo2(Tags({"A"}) + Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) +
                                Pols({{0, 1, 2}}) + Ptag({0}) + Surf("A", {1, 1, 1}));
  ASSERT_EQ(Convert(dir, good).run.status, 0);
  std::filesystem::remove(dir / "out.kq7");

  struct Case {
    std::string name, bytes, message;
  };
  const std::vector<Case> cases{
      {"cut short", good.substr(0, good.size() - 30), "the file is cut short"},
      {"cut in a point", good.substr(0, 4) + U4(60) + good.substr(8, 60), "the chunk PNTS says it has 36 bytes"},
      {"points not whole", Lwo2(Chunk("PNTS", std::string(13, '\0'))), "is not a whole number of points"},
      {"point past the end",
       Lwo2(Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + Pols({{0, 1, 7}})),
       "POLS at byte 100: point 7 is named but the layer has 3 points"},
      {"polygon past the end", Lwo2(Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}}) + Pols({{0}}) + Ptag({0, 0})),
       "PTAG at byte 90: polygon 1 is named but the layer has 1 polygon"},
      {"tag past the end", Lwo2(Tags({"A"}) + Layr(0, {0, 0, 0}, "") + Pnts({{0, 0, 0}}) + Pols({{0}}) + Ptag({3})),
       "polygon 0 of layer 1 names surface tag 3 but the object has 1 tag"},
      {"sub-chunk too long", Lwo2(Chunk("SURF", S0("A") + S0("") + "COLR" + U2(40) + Vec({1, 1, 1}))),
       "SURF \"A\" at byte 24: the sub-chunk COLR says it has 40 bytes but only 12 follow"},
      {"string without an end", Lwo2(Chunk("TAGS", "AB")), "TAGS at byte 20: a string runs past the end"},
      {"value past its sub-chunk",
       Lwo2(Chunk("SURF", S0("A") + S0("") + Sub("BLOK", Sub("IMAP", S0("\x80")) + Sub("PROJ", U1(1))))),
       "SURF \"A\" > BLOK > PROJ at byte 44: a 2-byte number needs 2 bytes but the chunk has 1 left"},
      {"bad detail",
       Lwob(Pnts({{0, 0, 0}}) + Chunk("POLS", U2(1) + U2(0) + I2(-1) + I2(1) + U2(1) + U2(0) + I2(-1) + I2(1))),
       "a detail polygon has detail polygons of its own"},
      {"no polygons", Lwo2(Pnts({{0, 0, 0}})), "holds no polygons (a point set needs --points)"},
      {"not a number", Lwo2(Pnts({{0, 0, std::nanf("")}}) + Pols({{0}})),
       "point 0 of layer 1 has a coordinate that is not a finite number"},
  };
  for (const Case& bad : cases) {
    SCOPED_TRACE(bad.name);
    const Converted c = Convert(dir, bad.bytes);
    EXPECT_EQ(c.run.status, 1);
    EXPECT_THAT(c.run.err, HasSubstr("kq7: " + (dir / "Objects/Object.lwo") + ": "));
    EXPECT_THAT(c.run.err, HasSubstr(bad.message));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.kq7"));
  }
}

}  // namespace
}  // namespace stagwerk::testing
