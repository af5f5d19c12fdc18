// Working copies of morphing objects: MakeMorphCopy, Blend, morph deltas.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "objects/Kq7Writer.h"
#include "objects/Mesh.h"

namespace stagwerk {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::unique_ptr<Mesh> Load(const Kq7Description& d) {
  const auto bytes = WriteKq7(d);
  return Mesh::Parse(bytes.data(), bytes.size(), "m.lwo", "m.kq7", {});
}

Kq7Description Quad(float z) {
  Kq7Description d;
  d.flags = HasPolygons | HasTexture | HasMorphTargets;
  d.positions = {{0, 0, z}, {2, 0, z}, {2, 2, z}, {0, 2, z}};
  d.polygons = {{0, 1, 2, 3}};
  d.uvs = {{0, 0}};
  d.uvIndices = {0, 0, 0, 0};
  d.morphTargets = {{{1, 0, 0, 2}}, {{0, 0, 4, 0}, {0, 0, 8, 3}}};
  return d;
}

TEST(Morph, CopySharesEverythingButPositionsAndNormals) {
  auto base = Load(Quad(0));
  auto copy = Mesh::MakeMorphCopy(*base);
  EXPECT_TRUE(copy->isMorphCopy());
  EXPECT_EQ(copy->name(), "");
  EXPECT_EQ(copy->vertexCount(), 4);
  EXPECT_EQ(copy->flags(), base->flags());
  EXPECT_THAT(copy->positions(), ElementsAreArray(base->positions()));
  EXPECT_NE(copy->positions().data(), base->positions().data());
  EXPECT_NE(copy->normals().data(), base->normals().data());
  EXPECT_EQ(copy->uvs().data(), base->uvs().data());
  EXPECT_EQ(copy->vertexIndices().data(), base->vertexIndices().data());

  // The copy's own arrays move alone; the shared ones outlive the base.
  copy->positions()[2] = 5;
  copy->ComputeNormals();
  EXPECT_THAT(base->normals().subspan(0, 3), ElementsAre(0, 0, 4));
  EXPECT_NE(copy->normals()[0], 0.0f);
  base.reset();
  EXPECT_THAT(copy->uvIndices(), ElementsAre(0, 0, 0, 0));
}

TEST(Morph, BlendMovesBetweenTwoMeshes) {
  auto a = Load(Quad(0));
  auto b = Load(Quad(8));
  auto copy = Mesh::MakeMorphCopy(*a);
  copy->Blend(*a, *b, 0.25f);
  EXPECT_THAT(copy->positions(), ElementsAre(0, 0, 2, 2, 0, 2, 2, 2, 2, 0, 2, 2));
  copy->Blend(*a, *b, 1.0f);
  EXPECT_THAT(copy->positions(), ElementsAreArray(b->positions()));
  // Chains blend towards another working copy.
  auto other = Mesh::MakeMorphCopy(*b);
  other->Blend(*b, *a, 0.5f);
  copy->Blend(*a, *other, 0.5f);
  EXPECT_EQ(copy->positions()[2], 2.0f);
}

TEST(Morph, BlendTowardsFewerVerticesKeepsTheRestInPlace) {
  auto a = Load(Quad(0));
  Kq7Description small = Quad(8);
  small.positions.resize(2);
  small.polygons = {{0, 1, 1}};
  small.morphTargets.clear();
  auto b = Load(small);
  auto copy = Mesh::MakeMorphCopy(*a);
  copy->Blend(*a, *b, 0.5f);
  EXPECT_THAT(copy->positions(), ElementsAre(0, 0, 4, 2, 0, 4, 2, 2, 0, 0, 2, 0));
  // A smaller "from" mesh leaves the copy's remaining vertices alone.
  auto fromSmall = Mesh::MakeMorphCopy(*a);
  fromSmall->positions()[11] = 9;
  fromSmall->Blend(*b, *a, 0.0f);
  EXPECT_THAT(fromSmall->positions(), ElementsAre(0, 0, 8, 2, 0, 8, 2, 2, 0, 0, 2, 9));
}

TEST(Morph, DeltasAddByTargetWithWeights) {
  auto base = Load(Quad(0));
  auto copy = Mesh::MakeMorphCopy(*base);
  copy->ApplyMorphTarget(1, 0.5f);
  copy->ApplyMorphTarget(0, 1.0f);
  copy->ApplyMorphTarget(7, 1.0f);  // past the last target: nothing
  EXPECT_THAT(copy->positions(), ElementsAre(0, 0, 2, 2, 0, 0, 3, 2, 0, 0, 2, 4));
  copy->CopyPositionsFrom(*base);
  EXPECT_THAT(copy->positions(), ElementsAreArray(base->positions()));
}

}  // namespace
}  // namespace stagwerk
