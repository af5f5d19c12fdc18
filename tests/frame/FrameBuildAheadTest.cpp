// Frames built ahead on the worker against the same frames built in line:
// a frame asked for as announced is taken, any other is built afresh with
// what the worker changed taken back (the pipeline state one frame leaves
// the next, the camera shake's random sequence), so both runs give the
// same frames whatever was announced.
#include "frame/FrameBuildAhead.h"

#include <gtest/gtest.h>

#include "SceneFixtures.h"
#include "scene/ShakeRandom.h"

namespace stagwerk {
namespace {

using testing::ObjectBlock;

struct Shown {
  std::vector<DrawKind> kinds;
  std::vector<Matrix4> matrices;
  std::vector<RenderState> states;
  bool operator==(const Shown&) const = default;
};

Shown Record(const Frame& frame) {
  Shown shown;
  for (const Draw& draw : frame.draws) {
    shown.kinds.push_back(draw.kind);
    shown.matrices.push_back(draw.modelview);
    shown.states.push_back(draw.state);
  }
  return shown;
}

TEST(FrameBuildAhead, GivesTheFramesBuiltInLineWhateverWasAnnounced) {
  testing::SceneFolder demo;
  demo.AddMesh("Sq", testing::Square(1, 5));
  // A shaking camera, and objects whose flags change the state between
  // them: additive and unlit, then plain, moving.
  const std::string camera = testing::CameraBlock("", "ZoomFactor 1\n", "MotionBlur 0\nFieldRendering 0\n",
                                                  "DepthOfField 1\nFocalDistance 2\n");
  const std::string moving = "ObjectMotion\nNumChannels 3\nChannel 0\n" + testing::LinearEnvelope({{0, 0}, {3, 2}}) +
                             "Channel 1\n" + testing::LinearEnvelope({{0, 0}}) + "Channel 2\n" +
                             testing::LinearEnvelope({{5, 0}, {9, 2}});
  Scene& scene = demo.Load(testing::SceneHeader() + camera + ObjectBlock("Sq", 0, 0, 4, "ObjectDissolve 0.25\n") +
                           "LoadObjectLayer 1 Objects/Sq.lwo\nShowObject 6 3\n" + moving + "ShadowOptions 7\n\n");
  ASSERT_TRUE(scene.cameras.head()->focalDistance);
  const Camera& view = *scene.cameras.head();

  // (time asked for, time announced after it; negative: none)
  const std::vector<std::pair<float, float>> passes = {
      {0.0f, 0.1f}, {0.1f, 0.2f}, {0.2f, 0.3f}, {0.35f, 0.4f}, {0.4f, -1}, {0.5f, 0.6f},
      {0.6f, 0.7f}, {1.5f, 1.6f}, {1.6f, 1.7f}, {1.7f, 1.8f}, {1.8f, 1.9f}};

  std::vector<Shown> inLine;
  SeedShakeRandom();
  {
    FrameBuilder builder(1.0f);
    builder.ActivateScene(scene);
    for (const auto& [t, next] : passes) inLine.push_back(Record(builder.Build(scene, t, view)));
  }
  std::vector<Shown> ahead;
  SeedShakeRandom();
  FrameBuilder builder(1.0f);
  FrameBuildAhead worker(builder, true);
  builder.ActivateScene(scene);
  for (const auto& [t, next] : passes) {
    const Frame& frame = worker.Build(scene, t, view, {});
    ahead.push_back(Record(frame));
    if (next >= 0) worker.Ahead(scene, next, view, {});
  }
  worker.Settle();
  ASSERT_EQ(ahead.size(), inLine.size());
  for (std::size_t i = 0; i < ahead.size(); ++i) EXPECT_TRUE(ahead[i] == inLine[i]) << "pass " << i;
  // Announced and asked for: 0.1, 0.2, 0.4, 0.6, 1.6, 1.7, 1.8. Missed:
  // 0.3 (0.35 came), 0.7 (1.5 came), 1.9 (settled at the end).
  EXPECT_EQ(worker.hits(), 7);
  EXPECT_EQ(worker.misses(), 3);
  // The sequence is where the in-line run left it.
  const uint32_t after = ShakeRandomState();
  SeedShakeRandom();
  {
    FrameBuilder again(1.0f);
    again.ActivateScene(scene);
    for (const auto& [t, next] : passes) again.Build(scene, t, view);
  }
  EXPECT_EQ(ShakeRandomState(), after);
}

}  // namespace
}  // namespace stagwerk
