// The frame's passes over a scene's items against placing each item on its
// own through its parent chain, as the scene files mean it: parents listed
// after their children, lights and cameras under objects, sync tracks in
// the chain, and chains far too long for a recursive walk.
#include "frame/ScenePose.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "SceneText.h"
#include "base/SceneReader.h"
#include "frame/SyncValues.h"
#include "scene/Scene.h"

namespace stagwerk {
namespace {

MotionChannels Motion(const std::vector<std::pair<float, float>>& x, float heading) {
  using testing::LinearEnvelope;
  const std::string text = "NumChannels 9\nChannel 0\n" + LinearEnvelope(x) + "Channel 1\n" +
                           LinearEnvelope({{0.5f, 0}}) + "Channel 2\n" + LinearEnvelope({{-1, 0}, {2, 3}}) +
                           "Channel 3\n" + LinearEnvelope({{heading, 0}, {-heading, 2}}) + "Channel 4\n" +
                           LinearEnvelope({{0.3f, 1}}) + "Channel 5\n" + LinearEnvelope({{0.1f, 0}, {0.7f, 1}}) +
                           "Channel 6\n" + LinearEnvelope({{1, 0}, {2, 2}}) + "Channel 7\n" +
                           LinearEnvelope({{1, 0}}) + "Channel 8\n" + LinearEnvelope({{0.5f, 0}});
  SceneReader reader{text};
  return ReadMotionChannels(reader);
}

MotionChannels Still(float x) {
  const std::string text = testing::Motion6(x);
  SceneReader reader{text};
  return ReadMotionChannels(reader);
}

template <typename T>
T& Add(PointerList<T>& list, MotionChannels motion, std::optional<ItemRef> parent) {
  auto item = std::make_unique<T>();
  item->motion = std::move(motion);
  item->parentRef = parent;
  return list.Append(std::move(item));
}

// Each item on its own: the chain's motions from the top, the item's last.
Matrix4 PlacedAlone(const Matrix4& root, const SceneItem& item, float t, const SyncValues& sync) {
  std::vector<const SceneItem*> chain;
  for (const SceneItem* walk = &item; walk != nullptr; walk = walk->parent) chain.push_back(walk);
  Matrix4 m = root;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    MotionValues v = EvaluateMotion((*it)->motion, t);
    sync.Override(**it, v);
    ApplyMotion(m, v);
  }
  return m;
}

bool SameBits(const Matrix4& a, const Matrix4& b) { return std::memcmp(a.m.data(), b.m.data(), sizeof a.m) == 0; }

TEST(ScenePose, PlacesEveryItemAsItsOwnChainDoesBitForBit) {
  Scene scene;
  const ItemRef object3{ItemRef::kObject, 2, 0}, object1{ItemRef::kObject, 0, 0}, light{ItemRef::kLight, 0, 0};
  // Object 1 under object 3, listed later; object 2 alone; a light under
  // object 1 and the camera under the light.
  Add(scene.objects, Motion({{1, 0}, {4, 2}}, 0.4f), object3);
  Add(scene.objects, Motion({{-2, 0}, {0, 1}, {5, 3}}, 1.0f), std::nullopt);
  Add(scene.objects, Motion({{0, 0}, {1, 1}}, -0.6f), std::nullopt);
  Add(scene.lights, Motion({{3, 0}}, 0.2f), object1);
  const Camera& camera = Add(scene.cameras, Motion({{0, 0}, {-3, 2}}, 0.9f), light);
  scene.ResolveLinks();
  ASSERT_EQ(scene.motionLayout.slotCount(), 5u);
  // Object 3 is placed before object 1, which it carries.
  EXPECT_LT(scene.motionLayout.slotOf[2], scene.motionLayout.slotOf[0]);

  // A track on object 3's x from row 0 on.
  SceneSyncTracks bound;
  bound.items.assign(5, {});
  for (auto& item : bound.items) item.fill(kNoSyncTrack);
  bound.items[2][static_cast<std::size_t>(SyncChannel::X)] = 0;
  std::vector<SyncTrack> tracks(1);
  tracks[0].SetKey({0, 7.5f, KeyShape::Step});

  Matrix4 root;
  root.Scale(1, 1, -1);
  root.Translate(0.25f, 0, 0);
  ScenePose pose(scene);
  for (const float t : {0.0f, 0.7f, 1.5f, 2.9f, 0.2f, 5.0f}) {
    for (const SyncValues& sync : {SyncValues{}, SyncValues{&bound, &tracks, 3.0}}) {
      pose.Evaluate(t, sync);
      pose.Compose(root);
      for (const SceneObject& object : scene.objects) EXPECT_TRUE(SameBits(pose.Placed(object), PlacedAlone(root, object, t, sync)));
      EXPECT_TRUE(SameBits(pose.Placed(*scene.lights.head()), PlacedAlone(root, *scene.lights.head(), t, sync)));
      // The view: the camera's and its parents' inverse motions, the camera's first.
      Matrix4 view = root, want = root;
      pose.ApplyView(view, camera);
      for (const SceneItem* walk = &camera; walk != nullptr; walk = walk->parent) {
        MotionValues v = EvaluateMotion(walk->motion, t);
        sync.Override(*walk, v);
        ApplyInverseMotion(want, v);
      }
      EXPECT_TRUE(SameBits(view, want)) << t;
    }
  }
}

TEST(ScenePose, ChainsTensOfThousandsLongArePlacedWithoutRecursion) {
  // The longest chain a parent reference can name, listed child first.
  constexpr int kLength = 65536;
  Scene scene;
  for (int i = 0; i < kLength; ++i) {
    std::optional<ItemRef> parent;
    if (i + 1 < kLength) parent = ItemRef{ItemRef::kObject, static_cast<uint16_t>(i + 1), 0};
    Add(scene.objects, Still(1), parent);
  }
  Add(scene.cameras, Still(0), ItemRef{ItemRef::kObject, 0, 0});
  scene.ResolveLinks();
  ScenePose pose(scene);
  pose.Evaluate(0.0f, SyncValues{});
  pose.Compose(Matrix4{});
  EXPECT_EQ(pose.Placed(*scene.objects.At(0))[12], static_cast<float>(kLength));
  EXPECT_EQ(pose.Placed(*scene.objects.At(kLength - 100))[12], 100.0f);
  Matrix4 view;
  pose.ApplyView(view, *scene.cameras.head());
  EXPECT_EQ(view[12], -static_cast<float>(kLength));
}

}  // namespace
}  // namespace stagwerk
