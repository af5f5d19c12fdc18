#pragma once
// Scene text in the LightWave 6 layout the player reads: envelopes, motion
// channels and the object, light and camera blocks, keywords in the order
// the loader expects them.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "anim/Envelope.h"

namespace demo_assets {

// Key shapes and behaviours as LightWave numbers them: the player's own.
enum Shape { kTcb = stagwerk::kShapeTcb, kStepped = stagwerk::kShapeStepped, kLinear = stagwerk::kShapeLinear };
// Behaviours before the first key and after the last.
enum Behavior {
  kConstant = stagwerk::kBehaviorConstant,
  kRepeat = stagwerk::kBehaviorRepeat,
  kOscillate = stagwerk::kBehaviorOscillate,
  kOffsetRepeat = stagwerk::kBehaviorOffsetRepeat,
};

struct Key {
  float value = 0;
  float time = 0;
  int shape = kLinear;
};

struct Envelope {
  std::vector<Key> keys;
  int pre = kConstant;
  int post = kConstant;
};

Envelope Const(float value);
// Keys (value, time), all of one shape.
Envelope Keys(const std::vector<std::pair<float, float>>& keys, int shape = kLinear, int post = kConstant);
std::string EnvelopeText(const Envelope& envelope);
// "Keyword value" for a constant, "Keyword (envelope)" and the block otherwise.
std::string ScalarLine(const std::string& keyword, const Envelope& envelope);

// x y z, heading pitch bank (radians), scale x y z; lights and cameras use
// the first six.
struct Motion {
  std::array<Envelope, 9> channels;
  Motion();
  Motion& At(float x, float y, float z);
  Motion& Turn(float heading, float pitch, float bank);
  Motion& Scale(float s);
};

struct ObjectSpec {
  std::string mesh;  // Objects/<mesh>.lwo; empty for a null object
  std::string nullName = "Null";
  Motion motion;
  std::string parent;  // an item id such as "10000000"
  std::optional<Envelope> morphAmount;
  int morphTarget = 0;  // object number from 1
  std::vector<Envelope> mixer;  // one envelope per morph target
  std::optional<Envelope> dissolve;
  std::optional<Envelope> polygonSize;
  int brightness = 0;  // 2 or 4
  bool unlit = false;
  bool additive = false;
};

struct LightSpec {
  std::string name;
  Motion motion;
  std::string parent;
  std::array<float, 3> colour{1, 1, 1};
  Envelope intensity = Const(1);
  int type = 1;  // 0 distant, 1 point, 2 spot
  std::optional<Envelope> coneAngle;
  std::optional<Envelope> flare;  // flare intensity; the texture is textures/<name>.jpg
  float flareSize = 5;
  int flareOptions = 0;  // 8 depth-tested, 16 fogged
};

struct CameraSpec {
  Motion motion;
  std::string parent;
  Envelope zoom = Const(3.2f);
  std::optional<Envelope> blurLength;  // MotionBlur 2
  std::optional<Envelope> shake;       // DepthOfField 1 with this focal distance
};

struct SceneSpec {
  int firstFrame = 0;
  int lastFrame = 300;
  int fps = 30;
  std::vector<ObjectSpec> objects;
  std::array<float, 3> ambientColour{1, 1, 1};
  Envelope ambient = Const(0.1f);
  std::vector<LightSpec> lights;
  std::vector<CameraSpec> cameras;
  std::array<float, 3> backdrop{0, 0, 0};
  bool fog = false;
  float fogMin = 10;
  Envelope fogMax = Const(200);
  std::array<float, 3> fogColour{0, 0, 0};
  std::string bgImage;  // relative to the data folder
  std::string fgImage;
  std::optional<Envelope> fgDissolve;
};

std::string SceneText(const SceneSpec& scene);

// Item ids for ParentItem.
std::string ObjectId(int index);
std::string CameraId(int index);

}  // namespace demo_assets
