// Sync tracks bound by name to a scene's values, and what the built frame
// takes from them: nothing before a track's first key, the track after.
#include <gtest/gtest.h>

#include <cmath>

#include "SceneFixtures.h"
#include "base/LoadError.h"
#include "frame/FrameBuilder.h"
#include "frame/SyncBinding.h"

namespace stagwerk {
namespace {

using testing::ObjectBlock;

class SyncFrame : public ::testing::Test {
 protected:
  Scene& TwoSquaresASunAndACamera() {
    demo_.AddMesh("Sq", testing::Square(0.5f));
    return demo_.Load(testing::SceneHeader() + "FogType 1\nFogMaxDistance 100\nAmbientColor 1 0.5 0\n" +
                      "AmbientIntensity 0.5\n" + testing::WideCamera() + ObjectBlock("Sq", 0, 0, 5) +
                      ObjectBlock("Sq", 1, 0, 5, "ObjectDissolve 0\n") + testing::LightBlock("Sun"));
  }
  std::string BindError(const Scene& scene, const std::string& text) {
    try {
      SyncBindings::Bind(text, "demo/sync.txt", {&scene});
    } catch (const LoadError& error) {
      return error.what();
    }
    return "bound";
  }
  testing::SceneFolder demo_;
};

TEST_F(SyncFrame, NamesBindInListOrderAndMistakesNameTheirLine) {
  Scene& scene = TwoSquaresASunAndACamera();
  // Items count objects, then lights, then cameras; the second square is
  // numbered, and a light's "b" is its blue.
  const SyncBindings b = SyncBindings::Bind(
      "# offered to the editor\n\ns0:Objects/Sq.lwo (2).x\r\ns0:Sun.b\ns0:Camera.zoom\ns0:fog.far\n s0:ambient \n",
      "demo/sync.txt", {&scene});
  ASSERT_EQ(b.names().size(), 5u);
  EXPECT_EQ(b.names()[0], "s0:Objects/Sq.lwo (2).x");
  const SceneSyncTracks& t = *b.For(scene);
  EXPECT_EQ(t.items[1][static_cast<int>(SyncChannel::X)], 0u);
  EXPECT_EQ(t.items[2][static_cast<int>(SyncChannel::Blue)], 1u);
  EXPECT_EQ(t.items[2][static_cast<int>(SyncChannel::Bank)], kNoSyncTrack);
  EXPECT_EQ(t.items[3][static_cast<int>(SyncChannel::Zoom)], 2u);
  EXPECT_EQ(t.fogFar, 3u);
  EXPECT_EQ(t.ambient, 4u);

  EXPECT_EQ(BindError(scene, "s0:Sun.x\ns0:Nope.x\n"), "demo/sync.txt:2: no object, light or camera \"Nope\" in scene s0");
  EXPECT_EQ(BindError(scene, "finale:Camera.x"), "demo/sync.txt:1: no scene \"finale\" in the demo");
  EXPECT_EQ(BindError(scene, "s0:Camera"), "demo/sync.txt:1: \"s0:Camera\" is not SCENE:ITEM.CHANNEL");
  EXPECT_EQ(BindError(scene, "s0:Sun.x\n\ns0:Sun.x"), "demo/sync.txt:3: \"s0:Sun.x\" is listed twice");
  EXPECT_NE(BindError(scene, "s0:Sun.dissolve").find("demo/sync.txt:1: \"dissolve\" is not a channel of \"Sun\""),
            std::string::npos);
  EXPECT_NE(BindError(scene, "s0:Objects/Sq.lwo.zoom").find("is not a channel"), std::string::npos);
}

TEST_F(SyncFrame, TracksReplaceTheScenesValuesFromTheirFirstKeyOn) {
  Scene& scene = TwoSquaresASunAndACamera();
  const SyncBindings b = SyncBindings::Bind(
      "s0:Objects/Sq.lwo (2).x\ns0:Objects/Sq.lwo (2).dissolve\ns0:Objects/Sq.lwo (2).h\ns0:Sun.intensity\n"
      "s0:Sun.r\ns0:Camera.zoom\ns0:fog.far\ns0:ambient\n",
      "sync.txt", {&scene});
  std::vector<SyncTrack> tracks;
  for (const std::string& name : b.names()) tracks.emplace_back(name);
  tracks[0].SetKey({8, 3.0f, KeyShape::Linear});
  tracks[0].SetKey({16, 5.0f, KeyShape::Step});
  tracks[1].SetKey({8, 0.25f, KeyShape::Step});
  tracks[2].SetKey({8, 90.0f, KeyShape::Step});  // degrees
  tracks[3].SetKey({8, 2.0f, KeyShape::Step});
  tracks[4].SetKey({8, 0.0f, KeyShape::Step});
  tracks[5].SetKey({8, 2.0f, KeyShape::Step});
  tracks[6].SetKey({8, 40.0f, KeyShape::Step});
  tracks[7].SetKey({8, 1.0f, KeyShape::Step});

  FrameBuilder builder(1.0f);
  builder.ActivateScene(scene);
  const Camera& camera = *scene.cameras.head();
  const Frame& none = builder.Build(scene, 0.0f, camera);
  const Frame plain = none;
  // Before every first key the frame is the scene's own, to the bit.
  const Frame& before = builder.Build(scene, 0.0f, camera, b.At(scene, tracks, 7.9));
  ASSERT_EQ(before.draws.size(), plain.draws.size());
  for (std::size_t i = 0; i < plain.draws.size(); ++i) EXPECT_EQ(before.draws[i].modelview.m, plain.draws[i].modelview.m);
  EXPECT_EQ(before.lights, plain.lights);
  EXPECT_EQ(before.projection.fieldOfView, plain.projection.fieldOfView);

  const Frame& after = builder.Build(scene, 0.0f, camera, b.At(scene, tracks, 12.0));
  const Draw& second = after.draws.back();
  ASSERT_EQ(second.mesh, scene.objects.At(1)->mesh);
  EXPECT_FLOAT_EQ(second.modelview[12], 4.0f);  // halfway from 3 to 5
  EXPECT_NEAR(second.modelview[0], 0.0f, 1e-6f);  // turned 90 degrees about y
  EXPECT_FLOAT_EQ(second.state.colour[3], 0.75f);
  EXPECT_EQ(after.draws[after.draws.size() - 2].modelview.m, plain.draws[plain.draws.size() - 2].modelview.m);
  EXPECT_EQ(after.lights[0].diffuse, (std::array<float, 4>{0.0f, 1.0f, 0.5f, 1.0f}));
  EXPECT_FLOAT_EQ(after.projection.fieldOfView, static_cast<float>(2.0 * std::atan(0.5) * 180.0 / M_PI));
  EXPECT_FLOAT_EQ(after.projection.farPlane, 40.0f);
  EXPECT_EQ(after.ambient, (std::array<float, 4>{1.0f, 0.5f, 0.0f, 1.0f}));
}

}  // namespace
}  // namespace stagwerk
