#include "frame/ItemMatrices.h"

#include "anim/SceneItem.h"
#include "scene/Scene.h"

namespace stagwerk {

ItemMatrices::ItemMatrices(const Scene& scene) : ItemMatrices(scene.ItemCount()) {}

ItemMatrices::ItemMatrices(uint32_t itemCount) : matrices_(itemCount), times_(itemCount, -1.0f) {}

void ItemMatrices::Invalidate() { std::fill(times_.begin(), times_.end(), -1.0f); }

bool ItemMatrices::Cached(const SceneItem& item, float t) const {
  return item.itemIndex < times_.size() && times_[item.itemIndex] == t;
}

void ItemMatrices::Store(const SceneItem& item, const Matrix4& m, float t) {
  if (item.itemIndex >= times_.size()) return;  // bones are never placed this way
  matrices_[item.itemIndex] = m;
  times_[item.itemIndex] = t;
}

MotionValues ItemMatrices::Motion(const SceneItem& item, float t) const {
  MotionValues v = EvaluateMotion(item.motion, t);
  sync_.Override(item, v);
  return v;
}

void ItemMatrices::ApplyItemTransform(Matrix4& current, const SceneItem& item, float t) {
  // The uncached part of the chain, nearest first, then placed from the top
  // down: a loop, since a legal chain may be tens of thousands of items long.
  chain_.clear();
  const SceneItem* walk = &item;
  for (; walk != nullptr && !Cached(*walk, t); walk = walk->parent) chain_.push_back(walk);
  if (walk != nullptr) current = matrices_[walk->itemIndex];
  for (auto it = chain_.rbegin(); it != chain_.rend(); ++it) {
    ApplyMotion(current, Motion(**it, t));
    Store(**it, current, t);
  }
}

void ItemMatrices::ApplyViewTransform(Matrix4& current, const SceneItem& item, float t) {
  // Up the chain until a cached item or the top; then every item walked gets
  // the finished matrix, as the recursive walk would leave it.
  chain_.clear();
  for (const SceneItem* walk = &item; walk != nullptr; walk = walk->parent) {
    if (Cached(*walk, t)) {
      current = matrices_[walk->itemIndex];
      break;
    }
    ApplyInverseMotion(current, Motion(*walk, t));
    chain_.push_back(walk);
  }
  for (const SceneItem* walked : chain_) Store(*walked, current, t);
}

}  // namespace stagwerk
