#pragma once
// Where every item of a scene is at one time, worked out in passes over the
// scene's motion layout: one evaluates every curve, one composes the
// matrices parent first; the frame's draws, lights and flares then read
// them. Nothing is evaluated twice and, once made, nothing is allocated.
#include <cstdint>
#include <vector>

#include "anim/SceneItem.h"
#include "base/Matrix4.h"
#include "scene/MotionLayout.h"

namespace stagwerk {

class SyncValues;
struct Scene;
struct SceneObject;

class ScenePose {
 public:
  explicit ScenePose(const Scene& scene);
  ScenePose(const ScenePose&) = delete;
  ScenePose& operator=(const ScenePose&) = delete;

  // Every item's motion and every object's dissolve at t, with what the
  // sync tracks hold put in.
  void Evaluate(float t, const SyncValues& sync);
  // current times the inverse motions of the item and its parents, the
  // item's first: a camera's view.
  void ApplyView(Matrix4& current, const SceneItem& item) const;
  // Every item's matrix: root times the motions down its parent chain.
  void Compose(const Matrix4& root);

  // After Compose.
  const Matrix4& Placed(const SceneItem& item) const { return world_[SlotOf(item)]; }
  // After Evaluate.
  const MotionValues& Motion(const SceneItem& item) const { return values_[SlotOf(item)]; }
  float Dissolve(const SceneObject& object) const;

 private:
  uint32_t SlotOf(const SceneItem& item) const;

  // The scene's own, or one laid out here for a scene whose links were never
  // resolved (its items unnumbered).
  MotionLayout own_;
  const MotionLayout* layout_;
  std::vector<uint32_t> spans_;  // per curve: where its last search ended
  std::vector<MotionValues> values_;
  std::vector<float> dissolve_;
  std::vector<Matrix4> world_;
};

}  // namespace stagwerk
