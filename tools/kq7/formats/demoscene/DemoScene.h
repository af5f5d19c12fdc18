#pragma once
// What a scene in the player's layout holds, filled by a scene reader and
// written by WriteDemoScene. Values are kept as the player reads them: times
// in seconds, angles in radians in channels, colours 0..1.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "anim/Envelope.h"

namespace stagwerk::kq7 {

// One key as a key line writes it: the six numbers after the shape are kept
// as read, so a curve passes through unchanged.
struct CurveKey {
  float value = 0;
  float time = 0;
  int32_t shape = kShapeLinear;
  std::array<float, 6> params{};
};

struct Curve {
  std::vector<CurveKey> keys;
  int32_t pre = kBehaviorConstant;
  int32_t post = kBehaviorConstant;

  static Curve Constant(float value);
  Envelope ToEnvelope() const;
  float ValueAt(float t) const;
};

// A number that may be animated.
struct Scalar {
  float value = 0;
  std::optional<Curve> curve;

  static Scalar Of(float v) { return {v, std::nullopt}; }
  float ValueAt(float t) const { return curve ? curve->ValueAt(t) : value; }
};

// x y z, heading pitch bank, scale x y z.
struct Motion {
  std::vector<Curve> channels;
  static Motion Still(int count);
};

// A reference to another item as ParentItem writes it.
struct ItemLink {
  uint16_t kind = 0;  // 1 object, 2 light, 3 camera, 4 bone
  uint16_t index = 0;
  uint16_t owner = 0;  // bones: the owning object
  uint32_t Id() const;
};

struct DemoBone {
  std::string name;
  std::array<float, 3> restPosition{};
  std::array<float, 3> restDirection{};  // heading, pitch, bank as written
  Motion motion = Motion::Still(9);
  ItemLink parent;
};

struct DemoObject {
  std::string mesh;      // the object file as the scene names it; empty for a null
  std::string nullName;  // a null object's name
  std::string label;     // how messages name it
  Motion motion = Motion::Still(9);
  std::optional<ItemLink> parent;
  std::optional<std::string> boneFalloff;
  std::vector<DemoBone> bones;
  std::optional<Scalar> morphAmount;
  int32_t morphTarget = -1;  // object number from 1
  std::vector<Curve> mixer;  // one weight curve per morph target
  bool mixerEnabled = true;
  std::optional<Scalar> dissolve;
  std::optional<Scalar> polygonSize;
  std::string lineThickness;  // "" none, else the value word
  bool unaffectedByFog = false, unseenByRays = false, unseenByCamera = false, unseenByAlphaChannel = false;
};

struct DemoLight {
  std::string name;
  Motion motion = Motion::Still(9);
  std::optional<ItemLink> parent;
  std::array<float, 3> color{1, 1, 1};
  Scalar intensity = Scalar::Of(1);
  int32_t type = 1;  // 0 distant, 1 point, 2 spot
  std::optional<Scalar> coneAngle;  // degrees
  std::optional<Scalar> flareIntensity;
  std::optional<Scalar> flareNominalDistance;
  std::optional<Scalar> flareDissolve;
  int32_t lensFlareFade = 0;
};

struct DemoCamera {
  std::string name = "Camera";
  Motion motion = Motion::Still(9);
  std::optional<ItemLink> parent;
  Scalar zoom = Scalar::Of(3.2f);
  uint32_t motionBlur = 0;
  std::optional<Scalar> blurLength;
  uint32_t depthOfField = 0;
  std::optional<Scalar> focalDistance;
};

struct DemoScene {
  uint32_t firstFrame = 1, lastFrame = 60, framesPerSecond = 30;
  std::optional<float> nearClip;
  int32_t fogType = 0;
  std::optional<Scalar> fogMin, fogMax;
  std::optional<std::array<float, 3>> fogColor, backdropColor;
  std::optional<std::array<float, 3>> ambientColor;
  std::optional<Scalar> ambientIntensity;
  std::string bgImage, fgImage;  // relative to the data folder
  std::optional<Scalar> fgDissolve;
  std::vector<DemoObject> objects;
  std::vector<DemoLight> lights;
  std::vector<DemoCamera> cameras;
};

}  // namespace stagwerk::kq7
