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

// The drawing switches an object block sets.
enum class ObjectFlag : uint32_t {
  Additive = 0x01,             // adds its light, fades by darkening
  Unlit = 0x02,                // no lighting
  NoDepthTest = 0x04,
  MorphMixer = 0x08,           // the mixer's channels move the vertices
  NoBlend = 0x10,
  DoubleBrightness = 0x20,     // colour scale 2
  QuadrupleBrightness = 0x40,  // colour scale 4
};

struct ObjectFlags {
  uint32_t bits = 0;

  bool Has(ObjectFlag flag) const { return (bits & static_cast<uint32_t>(flag)) != 0; }
  ObjectFlags& operator|=(ObjectFlag flag) {
    bits |= static_cast<uint32_t>(flag);
    return *this;
  }
  bool operator==(const ObjectFlags&) const = default;
};

constexpr ObjectFlags operator|(ObjectFlags a, ObjectFlag b) { return {a.bits | static_cast<uint32_t>(b)}; }
constexpr ObjectFlags operator|(ObjectFlag a, ObjectFlag b) { return ObjectFlags{static_cast<uint32_t>(a)} | b; }

struct SceneObject : SceneItem {
  ScalarOrEnvelope polygonSize;
  // Null when fully dissolved: such an object is never drawn.
  std::unique_ptr<ScalarOrEnvelope> dissolve;
  Mesh* mesh = nullptr;
  std::unique_ptr<ScalarOrEnvelope> morphAmount;
  // Drawn from a working copy of its mesh, moved towards a morph target or
  // by the mixer.
  bool morphs = false;
  SceneObject* morphTarget = nullptr;
  std::vector<std::unique_ptr<Bone>> bones;
  int32_t morphTargetNumber = -1;
  ObjectFlags flags;
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
