// The eight light slots in the built frame: switched with their scene,
// placed in eye space, spots' cones and directions, and what a slot keeps
// from an earlier scene.
#include <gtest/gtest.h>

#include "SceneFixtures.h"
#include "frame/FrameBuilder.h"
#include "frame/LightRecords.h"

namespace stagwerk {
namespace {

using testing::WideCamera;

// A light block at (x, y, z) with heading h, of the given type, then rest.
std::string LightAt(const std::string& name, float x, float y, float z, float h, int type,
                    const std::string& intensity = "1") {
  return "AddLight\nLightName " + name + "\nShowLight 0 7\nLightMotion\n" + testing::Channels({x, y, z, h, 0, 0}) +
         "LightColor 1 0.5 0.25\nLightIntensity " + intensity + "\nLightType " + std::to_string(type) + "\n" +
         (type == 2 ? "LightConeAngle 30\n" : "") + "ShadowType 1\n\n";
}

void ExpectNear(const std::array<float, 4>& got, const std::array<float, 4>& want) {
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-5f) << "component " << i;
}

class LightRecords : public ::testing::Test {
 protected:
  const Frame& Build(Scene& scene) {
    builder_.ActivateScene(scene);
    return builder_.Build(scene, 0.0f, *scene.cameras.head());
  }
  testing::SceneFolder demo_;
  FrameBuilder builder_{1.0f};
};

TEST_F(LightRecords, SlotsFollowTheScenesShiningLightsInEyeSpace) {
  constexpr float kQuarter = 1.5707964f;
  Scene& scene = demo_.Load(testing::SceneHeader() + WideCamera() + LightAt("Sun", 0, 0, -100, kQuarter, 0) +
                            LightAt("Dark", 0, 0, 0, 0, 1, "0") +
                            LightAt("Bulb", 1, 2, 3, 0, 1) + LightAt("Spot", 0, 0, 0, kQuarter, 2));
  const Frame& frame = Build(scene);
  // The dark light lights nothing and takes no slot.
  EXPECT_EQ(scene.shiningLights.size(), 3u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(frame.lights[i].on, i < 3) << "slot " << i;
  // Distant: towards the light, at infinity behind its -Z, under the
  // mirrored view: heading 90 turns its +Z onto +X, so it comes from -X.
  ExpectNear(frame.lights[0].position, {-1, 0, 0, 0});
  EXPECT_EQ(frame.lights[0].diffuse, (std::array<float, 4>{1, 0.5f, 0.25f, 1}));
  EXPECT_EQ(frame.lights[1].position, (std::array<float, 4>{1, 2, -3, 1}));
  EXPECT_EQ(frame.lights[1].spotCutoff, 180.0f);
  EXPECT_EQ(frame.lights[2].spotCutoff, 30.0f);
  EXPECT_NEAR(frame.lights[2].spotDirection[0], 1.0f, 1e-5f);  // its +Z turned onto +X
  EXPECT_NEAR(frame.lights[2].spotDirection[2], 0.0f, 1e-5f);

  // Cones GL accepts: 0 to 90, or 180.
  EXPECT_EQ(SpotCutoff(120.0f), 90.0f);
  EXPECT_EQ(SpotCutoff(180.0f), 180.0f);
  EXPECT_EQ(SpotCutoff(-5.0f), 0.0f);
}

TEST_F(LightRecords, ASlotKeepsWhatTheSceneBeforeLeftUnlessItsLightSetsIt) {
  Scene& spots = demo_.Load(testing::SceneHeader() + WideCamera() + LightAt("A", 0, 0, 0, 0, 2) +
                            LightAt("B", 0, 0, 0, 0, 2));
  Build(spots);
  // A point light clears the cone; a light of another type keeps it, and
  // the spot's direction with it.
  Scene& next = demo_.Load(testing::SceneHeader() + WideCamera() + LightAt("P", 0, 0, 0, 0, 1) +
                           LightAt("Odd", 0, 0, 0, 0, 3));
  const Frame& frame = Build(next);
  EXPECT_EQ(frame.lights[0].spotCutoff, 180.0f);
  EXPECT_EQ(frame.lights[1].spotCutoff, 30.0f);
  EXPECT_EQ(frame.lights[1].spotDirection, (std::array<float, 3>{0, 0, -1}));
  EXPECT_FALSE(frame.lights[2].on);
}

}  // namespace
}  // namespace stagwerk
