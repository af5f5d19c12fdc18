#pragma once
// What the LightWave scene reader shares between its files: the reader whose
// statements the files hold, by what they read.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "anim/ItemRef.h"
#include "base/SceneReader.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/LightWaveScene.h"
#include "kq7/formats/demoscene/LineTokens.h"

namespace stagwerk::kq7::lightwave_scene {


constexpr float kRadiansPerDegree = 0.017453292519943295f;
constexpr std::size_t kMaxChannels = 64;

bool IsHexId(std::string_view word);

uint32_t HexValue(std::string_view word);

// One word: blanks in LightWave names become underscores, since the player
// reads names as single words.
std::string OneWord(std::string name);

enum class Kind { None, Object, Light, Camera, Bone };

// A parent as the file names it, resolved once every item is known.
struct PendingLink {
  Kind item;
  std::size_t index;  // of the item; for bones, of the owning object
  std::size_t bone;
  bool byNumber;  // LightWave 5's ParentObject: an object number from 1
  uint32_t value;
};

class Reader {
 public:
  Reader(std::string_view text, const std::string& file, std::vector<std::string>& warnings)
      : in_(text), file_(file), warnings_(warnings) {}

  LightWaveScene Read();

 private:
  DemoScene& scene() { return result_.scene; }

  void Warn(const std::string& text) { warnings_.push_back(file_ + ": " + text); }
  [[noreturn]] void Fail(const std::string& text);

  float FindRate();

  std::string Label() const;

  float Number();
  int32_t Integer();

  // --- envelopes ---------------------------------------------------------

  Curve ReadCurve();

  CurveKey OldKey(float value, float frame, const std::array<float, 4>& span);

  std::vector<Curve> ReadOldMotion();

  Scalar ReadScalar(float unit = 1.0f);

  float Fixed(const Scalar& s, const std::string& what);

  std::array<float, 3> ReadColor(const std::string& what);

  Motion ReadMotion();

  // --- items ------------------------------------------------------------

  std::optional<uint32_t> ExplicitId(bool moreAfter);

  void NewObject(std::string mesh, std::string nullName, std::optional<uint32_t> id);

  void NewLight(std::optional<uint32_t> id);

  void NewCamera(std::optional<uint32_t> id);

  void Link(bool byNumber, uint32_t value);

  bool BoneStatement(const std::string& k) const;

  void SkipPlugin(const std::string& name);

  void ReadMixer(DemoObject& object);

  void Statement(const std::string& k, int line);

  bool SceneStatement(const std::string& k);

  static std::string FloatWord(float v);

  void Picture(std::string& path, const std::string& keyword);

  void ItemStatement(const std::string& k);

  void BoneItemStatement(const std::string& k);

  void ObjectStatement(const std::string& k);

  void LightStatement(const std::string& k);

  void CameraStatement(const std::string& k);

  // --- links ------------------------------------------------------------

  std::optional<ItemLink> Target(const PendingLink& p, const std::string& label);

  void Resolve();

  LineTokens in_;
  const std::string& file_;
  std::vector<std::string>& warnings_;
  LightWaveScene result_;
  bool old_ = false;
  float fps_ = 30;
  Kind kind_ = Kind::None;
  bool lightNamed_ = false, cameraShown_ = false, cameraMoved_ = false, boneLinked_ = false, noFlare_ = false;
  std::map<uint32_t, uint16_t> objectIds_, lightIds_, cameraIds_;
  std::vector<PendingLink> links_;
  std::vector<std::pair<std::size_t, uint32_t>> morphIds_;
};

}  // namespace stagwerk::kq7::lightwave_scene
