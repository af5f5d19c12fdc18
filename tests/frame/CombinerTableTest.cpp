// The texture units a mesh's flags and an object's brightness select, worked
// out on the pipeline state as the frame builder carries it.
#include <gtest/gtest.h>

#include "SceneFixtures.h"
#include "frame/PipelineState.h"
#include "frame/TextureUnits.h"
#include "objects/Mesh.h"
#include "textures/Texture.h"

namespace stagwerk {
namespace {

class CombinerTable : public ::testing::Test {
 protected:
  CombinerTable() {
    first_.renderHandle = 1;
    second_.renderHandle = 2;
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
    const auto bytes = WriteKq7(d);
    return Mesh::Parse(bytes.data(), bytes.size(), "m.lwo", "m.kq7",
                       [this](const std::string& name) { return name == "first" ? &first_ : &second_; });
  }
  Texture first_, second_;
};

TEST_F(CombinerTable, EveryFlagCombination) {
  using enum ObjectFlag;
  const UnitState off{};
  const auto modulate = [](RenderHandle texture, float scale) { return UnitState{true, texture, true, false, scale, false}; };
  const auto scaledOff = [](float scale) { return UnitState{false, 0, false, false, scale, false}; };
  const UnitState reflection{true, 2, true, true, 4.0f, true};
  struct Case {
    uint8_t flags;
    ObjectFlags objectFlags;
    UnitState unit0, unit1;
  };
  const Case cases[] = {
      {0, {}, off, off},
      {0, ObjectFlags{} | DoubleBrightness, scaledOff(2), off},
      {HasTexture, {}, modulate(1, 1), off},
      {HasTexture, ObjectFlags{} | QuadrupleBrightness, modulate(1, 4), off},
      {HasTexture, DoubleBrightness | QuadrupleBrightness, modulate(1, 2), off},
      // With a second texture the scale lands on unit 1; unit 0 keeps its own.
      {HasTexture | HasSecondTexture, ObjectFlags{} | DoubleBrightness, modulate(1, 1), modulate(2, 2)},
      // The reflection adds signed over the first layer; the scale lands on both.
      {HasTexture | HasEnvironmentMap, ObjectFlags{} | QuadrupleBrightness, modulate(1, 4), reflection},
      {HasEnvironmentMap, ObjectFlags{} | DoubleBrightness, {true, 2, false, false, 2.0f, true}, off},
      {HasSecondTexture, ObjectFlags{} | QuadrupleBrightness, off, modulate(2, 4)},
      {HasTexture | HasSecondTexture | HasEnvironmentMap, {}, modulate(1, 1), {true, 2, true, true, 1.0f, true}},
  };
  for (const Case& c : cases) {
    PipelineState state;
    BindMeshTextures(state, *WithFlags(c.flags), c.objectFlags);
    const std::string label = "mesh flags " + std::to_string(c.flags) + ", object flags " +
                              std::to_string(c.objectFlags.bits);
    EXPECT_EQ(state.units[0], c.unit0) << label;
    EXPECT_EQ(state.units[1], c.unit1) << label;
  }
}

TEST_F(CombinerTable, WhatOneMeshLeavesTheNextInherits) {
  PipelineState state;
  // Unit 0's scale stays as a mesh without a second texture left it...
  BindMeshTextures(state, *WithFlags(HasTexture), ObjectFlags{} | ObjectFlag::QuadrupleBrightness);
  BindMeshTextures(state, *WithFlags(HasTexture | HasSecondTexture), {});
  EXPECT_EQ(state.units[0].rgbScale, 4.0f);
  EXPECT_EQ(state.units[1].rgbScale, 1.0f);
  // ... and a reflection without a first texture leaves unit 0 generating
  // coordinates for whatever binds there next, with unit 0 active.
  BindMeshTextures(state, *WithFlags(HasEnvironmentMap), {});
  BindMeshTextures(state, *WithFlags(0), {});
  EXPECT_TRUE(state.units[0].sphereMap);
  EXPECT_EQ(state.activeUnit, 1);

  // A point set shows its second texture modulated on unit 0, or nothing.
  BindSpriteTexture(state, *WithFlags(HasEnvironmentMap));
  EXPECT_EQ(state.units[0], (UnitState{true, 2, false, false, 1.0f, false}));
  EXPECT_FALSE(state.units[1].texture);
  BindSpriteTexture(state, *WithFlags(0));
  EXPECT_FALSE(state.units[0].texture);
}

}  // namespace
}  // namespace stagwerk
