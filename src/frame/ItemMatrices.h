#pragma once
// The per-frame matrix cache of a scene's items: each item is placed at most
// once a frame, its children, flares and later uses reuse it. A cached matrix
// is the whole modelview (camera view included), so the cache holds for one
// frame and one view; Invalidate starts the next.
#include <cstdint>
#include <vector>

#include "base/Matrix4.h"
#include "frame/SyncValues.h"

namespace stagwerk {

struct Scene;
struct SceneItem;

class ItemMatrices {
 public:
  explicit ItemMatrices(const Scene& scene);
  // Items numbered 0 to itemCount - 1 by their itemIndex.
  explicit ItemMatrices(uint32_t itemCount);

  void Invalidate();
  // The sync tracks the motions read from now on (none: the scene's own).
  void UseSync(const SyncValues& sync) { sync_ = sync; }
  // current = the cached matrix of the nearest cached item up the parent
  // chain (or current as it is), times the motions of the items below it, at
  // time t; every item walked is cached.
  void ApplyItemTransform(Matrix4& current, const SceneItem& item, float t);
  // The view chain: the inverse motions of the item and its parents up to a
  // cached one, whose matrix replaces current; every item walked is cached.
  void ApplyViewTransform(Matrix4& current, const SceneItem& item, float t);

 private:
  bool Cached(const SceneItem& item, float t) const;
  void Store(const SceneItem& item, const Matrix4& m, float t);

  MotionValues Motion(const SceneItem& item, float t) const;

  SyncValues sync_;
  std::vector<Matrix4> matrices_;
  std::vector<float> times_;
  std::vector<const SceneItem*> chain_;  // kept so a frame allocates nothing
};

}  // namespace stagwerk
