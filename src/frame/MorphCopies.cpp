#include "frame/MorphCopies.h"

#include "anim/EnvelopeEvaluation.h"
#include "objects/Mesh.h"
#include "scene/Scene.h"

namespace stagwerk {

MorphCopies::MorphCopies(const Scene& scene) {
  for (const SceneObject& object : scene.objects) {
    if (!object.morphs || object.mesh == nullptr) continue;
    if (copies_.size() <= object.itemIndex) copies_.resize(object.itemIndex + 1);
    copies_[object.itemIndex] = Mesh::MakeMorphCopy(*object.mesh);
  }
  blends_.resize(copies_.size());
}

MorphCopies::~MorphCopies() = default;

Mesh* MorphCopies::CopyOf(const SceneObject& object) const {
  return object.itemIndex < copies_.size() ? copies_[object.itemIndex].get() : nullptr;
}

void MorphCopies::BlendChain(const SceneObject& object, float time) {
  // The chain X -> T1 -> T2 ... ends at the first target without a target of
  // its own; it is blended from that end back. A copy already blended at this
  // time ends the walk too, so a frame blends each copy once however the
  // chains overlap. Loops were refused at load.
  chain_.clear();
  for (const SceneObject* walk = &object; walk != nullptr && walk->morphTargetNumber != -1 && walk->morphTarget &&
                                          !BlendedAt(*walk, time);
       walk = walk->morphTarget) {
    chain_.push_back(walk);
  }
  for (auto it = chain_.rbegin(); it != chain_.rend(); ++it) {
    const SceneObject& x = **it;
    const SceneObject& target = *x.morphTarget;
    Mesh* copy = CopyOf(x);
    if (copy == nullptr) continue;
    const Mesh* targetCopy = target.morphTargetNumber != -1 ? CopyOf(target) : nullptr;
    const Mesh& to = targetCopy != nullptr ? *targetCopy : *target.mesh;
    copy->Blend(*x.mesh, to, x.morphAmount ? x.morphAmount->ValueAt(time) : 0.0f);
    blends_[x.itemIndex] = {true, time};
  }
}

bool MorphCopies::BlendedAt(const SceneObject& object, float time) const {
  return object.itemIndex < blends_.size() && blends_[object.itemIndex].valid &&
         blends_[object.itemIndex].time == time;
}

void MorphCopies::ApplyMixer(const SceneObject& object, float time) {
  Mesh& copy = *CopyOf(object);
  // The mixer's deltas are this object's own; a chain through it blends
  // towards it unmixed.
  blends_[object.itemIndex].valid = false;
  if (object.morphTargetNumber == -1) copy.CopyPositionsFrom(*object.mesh);
  for (std::size_t i = 0; i < object.mixerChannels.size(); ++i) {
    const float w = object.mixerChannels[i] ? EvaluateEnvelope(*object.mixerChannels[i], time) : 0.0f;
    if (w > 0.0001f) copy.ApplyMorphTarget(static_cast<uint32_t>(i), w);
  }
}

}  // namespace stagwerk
