#pragma once
// An object of a scene: a mesh (or none, for a null object) placed by its
// channels, with dissolve, morphing and the rendering switches its block sets.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anim/Envelope.h"
#include "anim/SceneItem.h"
#include "objects/Bone.h"
#include "objects/Mesh.h"

namespace stagwerk {

class SceneReader;

enum ObjectFlags : uint32_t {
  Additive = 0x01,
  Unlit = 0x02,
  NoDepthTest = 0x04,
  MorphMixer = 0x08,
  NoBlend = 0x10,
  DoubleBrightness = 0x20,
  QuadrupleBrightness = 0x40,
};

struct SceneObject : SceneItem {
  ScalarOrEnvelope polygonSize;
  // Null when fully dissolved: such an object is never drawn.
  std::unique_ptr<ScalarOrEnvelope> dissolve;
  Mesh* mesh = nullptr;
  std::unique_ptr<ScalarOrEnvelope> morphAmount;
  std::unique_ptr<Mesh> morphMesh;
  SceneObject* morphTarget = nullptr;
  std::vector<std::unique_ptr<Bone>> bones;
  int32_t morphTargetNumber = -1;
  uint32_t flags = 0;
  // One weight envelope per morph target of the mesh, in target order.
  std::vector<std::unique_ptr<Envelope>> mixerChannels;
  // The object file name or the null object's name, for messages and tools.
  std::string name;

  int32_t mixerChannelCount() const { return static_cast<int32_t>(mixerChannels.size()); }

  // Reads the rest of an object block. mesh is null for a null object.
  // label names the object in messages ("object 3 (Objects/Ship.lwo)").
  static std::unique_ptr<SceneObject> Read(SceneReader& reader, Mesh* mesh, const std::string& name,
                                           const std::string& label);
};

}  // namespace stagwerk
