#pragma once
// The working copies that morphing objects are drawn from, one per object
// that morphs, kept from frame to frame: a frame moves their vertices
// towards the morph targets or by the mixer's channels.
#include <memory>
#include <vector>

namespace stagwerk {

class Mesh;
struct Scene;
struct SceneObject;

class MorphCopies {
 public:
  explicit MorphCopies(const Scene& scene);
  ~MorphCopies();
  MorphCopies(const MorphCopies&) = delete;
  MorphCopies& operator=(const MorphCopies&) = delete;

  // Null for an object that does not morph.
  Mesh* CopyOf(const SceneObject& object) const;
  // Brings the copy of an object with a morph target up to date, and those
  // of its target's chain, from the end of the chain back.
  void BlendChain(const SceneObject& object, float time);
  // The mixer's deltas of every channel whose weight is above 0.0001.
  void ApplyMixer(const SceneObject& object, float time);

 private:
  struct Blended {
    bool valid = false;
    float time = 0.0f;
  };
  bool BlendedAt(const SceneObject& object, float time) const;

  std::vector<std::unique_ptr<Mesh>> copies_;  // by item index
  std::vector<Blended> blends_;                // by item index, beside copies_
  std::vector<const SceneObject*> chain_;      // kept so a frame allocates nothing
};

}  // namespace stagwerk
