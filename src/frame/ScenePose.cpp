#include "frame/ScenePose.h"

#include "frame/SyncValues.h"
#include "scene/Scene.h"

namespace stagwerk {

ScenePose::ScenePose(const Scene& scene) : layout_(&scene.motionLayout) {
  if (layout_->slotCount() != scene.ItemCount()) {
    own_ = LayOutMotion(scene);
    layout_ = &own_;
  }
  const uint32_t slots = layout_->slotCount();
  spans_.assign(layout_->curves.curveCount(), 0);
  // One slot more, which items outside the layout read: no motion, placed
  // at the root.
  values_.resize(slots + 1);
  dissolve_.resize(slots + 1);
  world_.resize(slots + 1);
}

uint32_t ScenePose::SlotOf(const SceneItem& item) const {
  return item.itemIndex < layout_->slotOf.size() ? layout_->slotOf[item.itemIndex] : layout_->slotCount();
}

float ScenePose::Dissolve(const SceneObject& object) const { return dissolve_[SlotOf(object)]; }

void ScenePose::Evaluate(float t, const SyncValues& sync) {
  const MotionLayout& layout = *layout_;
  const EnvelopeTable& curves = layout.curves;
  const uint32_t slots = layout.slotCount();
  uint32_t* span = spans_.data();
  const bool tracks = sync.BindsItems();
  for (uint32_t slot = 0, curve = 0; slot < slots; ++slot, curve += MotionLayout::kCurvesPerItem) {
    MotionValues& v = values_[slot];
    v.x = curves.Evaluate(curve, t, span[curve]);
    v.y = curves.Evaluate(curve + 1, t, span[curve + 1]);
    v.z = curves.Evaluate(curve + 2, t, span[curve + 2]);
    v.heading = Degrees(curves.Evaluate(curve + 3, t, span[curve + 3]));
    v.pitch = Degrees(curves.Evaluate(curve + 4, t, span[curve + 4]));
    v.bank = Degrees(curves.Evaluate(curve + 5, t, span[curve + 5]));
    v.scaled = layout.scaled[slot] != 0;
    if (v.scaled) {
      v.scaleX = curves.Evaluate(curve + 6, t, span[curve + 6]);
      v.scaleY = curves.Evaluate(curve + 7, t, span[curve + 7]);
      v.scaleZ = curves.Evaluate(curve + 8, t, span[curve + 8]);
    } else {
      v.scaleX = v.scaleY = v.scaleZ = 1.0f;
    }
    const uint32_t dissolve = curve + MotionLayout::kDissolveCurve;
    dissolve_[slot] = curves.Evaluate(dissolve, t, span[dissolve]);
    if (tracks) sync.Override(layout.itemOf[slot], v);
  }
}

void ScenePose::ApplyView(Matrix4& current, const SceneItem& item) const {
  // A loop, since a legal chain may be tens of thousands of items long.
  for (const SceneItem* walk = &item; walk != nullptr; walk = walk->parent) {
    ApplyInverseMotion(current, values_[SlotOf(*walk)]);
  }
}

void ScenePose::Compose(const Matrix4& root) {
  const MotionLayout& layout = *layout_;
  const uint32_t slots = layout.slotCount();
  for (uint32_t slot = 0; slot < slots; ++slot) {
    const uint32_t parent = layout.parentSlot[slot];
    Matrix4& m = world_[slot];
    m = parent == MotionLayout::kNoParent ? root : world_[parent];
    ApplyMotion(m, values_[slot]);
  }
  world_[slots] = root;
}

}  // namespace stagwerk
