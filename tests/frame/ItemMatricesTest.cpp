// The per-frame matrix cache of a scene's items: parent chains, hits that
// replace the current matrix, the view chain, and chains far too long for a
// recursive walk.
#include <gtest/gtest.h>

#include <memory>

#include "SceneText.h"
#include "base/SceneReader.h"
#include "anim/SceneItem.h"
#include "frame/ItemMatrices.h"

namespace stagwerk {
namespace {

MotionChannels Motion(const std::vector<float>& values) {
  const std::string text = testing::Channels(values);
  SceneReader reader{text};
  return ReadMotionChannels(reader);
}

std::array<float, 3> Apply(const Matrix4& m, float x, float y, float z) {
  return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
          m[2] * x + m[6] * y + m[10] * z + m[14]};
}

TEST(ItemMatrices, ParentChainsHitsAndTheViewChain) {
  SceneItem parent, child, camera;
  parent.motion = Motion({10, 0, 0, 0, 0, 0});
  child.motion = Motion({0, 1, 0, 0, 0, 0});
  camera.motion = Motion({0, 1, 0, 0, 0, 0});
  child.parent = camera.parent = &parent;
  parent.itemIndex = 0;
  child.itemIndex = 1;
  camera.itemIndex = 2;
  ItemMatrices matrices(3);
  Matrix4 world;
  matrices.ApplyItemTransform(world, child, 0.5f);
  EXPECT_EQ(Apply(world, 0, 0, 0), (std::array<float, 3>{10, 1, 0}));
  // A hit replaces the current matrix, whatever it holds.
  Matrix4 other;
  other.Translate(100, 100, 100);
  matrices.ApplyItemTransform(other, child, 0.5f);
  EXPECT_EQ(other, world);

  // The view chain: the inverse of parent * camera placement, cached too.
  matrices.Invalidate();
  Matrix4 view;
  matrices.ApplyViewTransform(view, camera, 0.0f);
  EXPECT_EQ(Apply(view, 10, 1, 0), (std::array<float, 3>{0, 0, 0}));
  Matrix4 again;
  again.Translate(5, 5, 5);
  matrices.ApplyViewTransform(again, camera, 0.0f);
  EXPECT_EQ(again, view);
}

TEST(ItemMatrices, ChainsTensOfThousandsLongArePlacedWithoutRecursion) {
  constexpr int kLength = 200000;
  std::vector<std::unique_ptr<SceneItem>> chain;
  for (int i = 0; i < kLength; ++i) {
    auto item = std::make_unique<SceneItem>();
    item->motion = Motion({1, 0, 0, 0, 0, 0});
    item->itemIndex = static_cast<uint32_t>(i);
    if (!chain.empty()) item->parent = chain.back().get();
    chain.push_back(std::move(item));
  }
  ItemMatrices matrices(kLength);
  Matrix4 world;
  matrices.ApplyItemTransform(world, *chain.back(), 0.0f);
  EXPECT_EQ(Apply(world, 0, 0, 0)[0], static_cast<float>(kLength));
  Matrix4 hundredth;
  matrices.ApplyItemTransform(hundredth, *chain[99], 0.0f);  // cached on the way
  EXPECT_EQ(Apply(hundredth, 0, 0, 0)[0], 100.0f);

  matrices.Invalidate();
  Matrix4 view;
  matrices.ApplyViewTransform(view, *chain.back(), 0.0f);
  EXPECT_EQ(Apply(view, static_cast<float>(kLength), 0, 0)[0], 0.0f);
}

}  // namespace
}  // namespace stagwerk
