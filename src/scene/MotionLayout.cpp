#include "scene/MotionLayout.h"

#include "scene/Scene.h"

namespace stagwerk {

MotionLayout LayOutMotion(const Scene& scene) {
  std::vector<const SceneItem*> items;
  items.reserve(scene.ItemCount());
  for (const SceneObject& object : scene.objects) items.push_back(&object);
  for (const Light& light : scene.lights) items.push_back(&light);
  for (const Camera& camera : scene.cameras) items.push_back(&camera);

  MotionLayout layout;
  const auto count = static_cast<uint32_t>(items.size());
  layout.slotOf.assign(count, MotionLayout::kNoParent);
  layout.itemOf.reserve(count);
  layout.parentSlot.reserve(count);
  // Items keep their own order where they can: each is placed after its
  // unplaced parents, topmost first. A walk stops at the item count, so
  // even a looping chain ends.
  std::vector<uint32_t> chain;
  auto indexOf = [&](const SceneItem* item) { return item != nullptr && item->itemIndex < count ? item->itemIndex : count; };
  for (uint32_t start = 0; start < count; ++start) {
    chain.clear();
    for (uint32_t at = start; at < count && layout.slotOf[at] == MotionLayout::kNoParent && chain.size() < count;
         at = indexOf(items[at]->parent)) {
      chain.push_back(at);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      if (layout.slotOf[*it] != MotionLayout::kNoParent) continue;
      const uint32_t parent = indexOf(items[*it]->parent);
      layout.slotOf[*it] = static_cast<uint32_t>(layout.itemOf.size());
      layout.itemOf.push_back(*it);
      layout.parentSlot.push_back(parent < count ? layout.slotOf[parent] : MotionLayout::kNoParent);
    }
  }

  const auto objectCount = static_cast<uint32_t>(scene.objects.count());
  layout.scaled.reserve(count);
  for (uint32_t slot = 0; slot < count; ++slot) {
    const SceneItem& item = *items[layout.itemOf[slot]];
    const MotionChannels& motion = item.motion;
    layout.scaled.push_back(motion.count() == 9 ? 1 : 0);
    for (uint32_t c = 0; c < 9; ++c) {
      if (c < static_cast<uint32_t>(motion.count())) {
        layout.curves.Add(motion.channels[c]);
      } else {
        layout.curves.AddEmpty();
      }
    }
    const SceneObject* object =
        layout.itemOf[slot] < objectCount ? static_cast<const SceneObject*>(&item) : nullptr;
    if (object != nullptr && object->dissolve != nullptr && object->dissolve->envelope != nullptr) {
      layout.curves.Add(*object->dissolve->envelope);
    } else if (object != nullptr && object->dissolve != nullptr) {
      layout.curves.AddConstant(object->dissolve->value);
    } else {
      layout.curves.AddEmpty();
    }
  }
  return layout;
}

}  // namespace stagwerk
