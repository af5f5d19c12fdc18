#include "kq7/formats/demoscene/LightWaveScene.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "kq7/formats/ToolError.h"
#include "anim/ItemRef.h"
#include "anim/SceneReader.h"
#include "kq7/formats/demoscene/LineTokens.h"

namespace stagwerk::kq7 {

namespace {

constexpr float kRadiansPerDegree = 0.017453292519943295f;
constexpr std::size_t kMaxChannels = 64;

bool IsHexId(std::string_view word) {
  if (word.size() != 8) return false;
  for (char c : word) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

uint32_t HexValue(std::string_view word) {
  uint32_t id = 0;
  ConvertHex(word, &id);
  return id;
}

// One word: blanks in LightWave names become underscores, since the player
// reads names as single words.
std::string OneWord(std::string name) {
  for (char& c : name) {
    if (!IsTokenChar(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

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

  LightWaveScene Read() {
    if (in_.Next() != "LWSC") throw InputError(file_ + ": not a LightWave scene (it does not start with LWSC)");
    const std::string_view versionWord = in_.Next();
    ConvertUnsigned(versionWord, &result_.version);
    if (result_.version < 1 || result_.version > 5) {
      Warn("scene: header version " + std::string(versionWord) + " is not one we know; read like version 5");
    }
    old_ = result_.version <= 2;
    fps_ = FindRate();
    while (!in_.AtEnd()) {
      const int line = in_.Line();
      const std::string keyword(in_.Next());
      Statement(keyword, line);
      in_.SkipLine();
    }
    Resolve();
    return std::move(result_);
  }

 private:
  DemoScene& scene() { return result_.scene; }

  void Warn(const std::string& text) { warnings_.push_back(file_ + ": " + text); }
  [[noreturn]] void Fail(const std::string& text) {
    throw InputError(file_ + ":" + std::to_string(in_.Line()) + ": " + text);
  }

  // The rate before anything is read: LightWave 5 keys are frame numbers.
  float FindRate() {
    LineTokens scan = in_;
    while (!scan.AtEnd()) {
      if (scan.Next() == "FramesPerSecond") {
        float rate = 0;
        if (ConvertFloat(scan.Next(), &rate) && rate > 0 && std::isfinite(rate)) return rate;
      }
    }
    return 30.0f;
  }

  std::string Label() const {
    switch (kind_) {
      case Kind::Object:
      case Kind::Bone: {
        const DemoObject& o = result_.scene.objects.back();
        return "object " + std::to_string(result_.scene.objects.size()) + " (" + o.label + ")";
      }
      case Kind::Light: return "light " + std::to_string(result_.scene.lights.size()) + " (" +
                                result_.scene.lights.back().name + ")";
      case Kind::Camera: return "camera " + std::to_string(result_.scene.cameras.size());
      case Kind::None: break;
    }
    return "scene";
  }

  float Number() {
    const std::string_view word = in_.Next();
    float value = 0;
    if (!ConvertFloat(word, &value)) Fail("expected a number, found \"" + std::string(word) + "\"");
    return value;
  }
  int32_t Integer() {
    const std::string_view word = in_.Next();
    int32_t value = 0;
    if (!ConvertInt(word, &value)) Fail("expected a whole number, found \"" + std::string(word) + "\"");
    return value;
  }

  // --- envelopes ---------------------------------------------------------

  // "{ Envelope", the key count, "Key" lines, "Behaviors", "}". The count is
  // not trusted: the Key lines are.
  Curve ReadCurve() {
    if (in_.Next() != "{" || in_.Next() != "Envelope") Fail("expected an envelope block \"{ Envelope\"");
    in_.Next();  // the key count
    Curve curve;
    while (in_.Peek() == "Key") {
      in_.Next();
      CurveKey key;
      key.value = Number();
      key.time = Number();
      key.shape = Integer();
      if (key.shape < kShapeTcb || key.shape > kShapeBezier2D) {
        Fail("key shape " + std::to_string(key.shape) + " is not one of 0 to 5");
      }
      for (float& p : key.params) p = Number();
      curve.keys.push_back(key);
    }
    if (curve.keys.empty()) Fail("an envelope without keys");
    if (in_.Next() != "Behaviors") Fail("expected Behaviors after the keys of an envelope");
    curve.pre = Integer();
    curve.post = Integer();
    if (in_.Peek() == "}") in_.Next();
    return curve;
  }

  // The six numbers of a LightWave 5 key: value, frame, then the span as it
  // wrote it. Its own order is linear, tension, continuity, bias; a file with
  // the linear flag last is recognised by where the 0 or 1 stands.
  CurveKey OldKey(float value, float frame, const std::array<float, 4>& span) {
    const auto isFlag = [](float f) { return f == 0.0f || f == 1.0f; };
    const bool flagLast = !isFlag(span[0]) && isFlag(span[3]);
    const float linear = flagLast ? span[3] : span[0];
    CurveKey key;
    key.value = value;
    key.time = frame / fps_;
    if (linear != 0.0f) {
      key.shape = kShapeLinear;
    } else {
      key.shape = kShapeTcb;
      for (int i = 0; i < 3; ++i) key.params[static_cast<std::size_t>(i)] = span[static_cast<std::size_t>(flagLast ? i : i + 1)];
    }
    return key;
  }

  // LightWave 5 motion: the channel count, then either per channel a key
  // count and a line of six numbers per key, or (as LightWave 5 itself
  // wrote motions) a key count and per key a line of every channel's value
  // and a line of frame and span. One behaviour line serves all channels.
  std::vector<Curve> ReadOldMotion() {
    const int32_t channels = Integer();
    if (channels < 1 || static_cast<std::size_t>(channels) > kMaxChannels) {
      Fail("a motion of " + std::to_string(channels) + " channels");
    }
    std::vector<Curve> curves(static_cast<std::size_t>(channels));
    const int32_t firstCount = Integer();
    const bool perKey = firstCount > 0 && in_.NumbersOnLine() == static_cast<std::size_t>(channels) &&
                        in_.NumbersOnLine(1) == 5;
    if (perKey) {
      for (int32_t k = 0; k < firstCount; ++k) {
        std::vector<float> values;
        for (int32_t c = 0; c < channels; ++c) values.push_back(Number());
        const float frame = Number();
        std::array<float, 4> span{};
        for (float& s : span) s = Number();
        for (int32_t c = 0; c < channels; ++c) {
          curves[static_cast<std::size_t>(c)].keys.push_back(OldKey(values[static_cast<std::size_t>(c)], frame, span));
        }
      }
    } else {
      for (int32_t c = 0; c < channels; ++c) {
        const int32_t count = c == 0 ? firstCount : Integer();
        if (count < 0 || count > 1000000) Fail("a channel of " + std::to_string(count) + " keys");
        for (int32_t k = 0; k < count; ++k) {
          const float value = Number();
          const float frame = Number();
          std::array<float, 4> span{};
          for (float& s : span) s = Number();
          curves[static_cast<std::size_t>(c)].keys.push_back(OldKey(value, frame, span));
        }
      }
    }
    int32_t pre = kBehaviorConstant, post = kBehaviorConstant;
    for (;;) {
      const std::string_view word = in_.Peek();
      if (word == "EndBehavior" || word == "PostBehavior") {
        in_.Next();
        post = Integer();
      } else if (word == "PreBehavior") {
        in_.Next();
        pre = Integer();
      } else if (word == "Behaviors" || word == "PrePostBehavior") {
        in_.Next();
        pre = Integer();
        post = Integer();
      } else {
        break;
      }
    }
    for (Curve& curve : curves) {
      if (curve.keys.empty()) curve.keys.push_back(CurveKey{});
      curve.pre = pre;
      curve.post = post;
    }
    return curves;
  }

  Scalar ReadScalar(float unit = 1.0f) {
    const std::string_view word = in_.Next();
    if (word != "(envelope)") {
      float value = 0;
      if (!ConvertFloat(word, &value)) Fail("expected a number or (envelope), found \"" + std::string(word) + "\"");
      return Scalar::Of(value * unit);
    }
    Curve curve = in_.Peek() == "{" ? ReadCurve() : ReadOldMotion().front();
    for (CurveKey& key : curve.keys) key.value *= unit;
    return {curve.keys.front().value, std::move(curve)};
  }

  // A number the player cannot animate: its value at the first frame.
  float Fixed(const Scalar& s, const std::string& what) {
    if (!s.curve) return s.value;
    const float t = static_cast<float>(scene().firstFrame) / fps_;
    const float v = s.ValueAt(t);
    Warn(Label() + ": " + what + " is animated; the player holds one value, its value at the first frame, " +
         std::to_string(v));
    return v;
  }

  std::array<float, 3> ReadColor(const std::string& what) {
    // LightWave 5 wrote colours as 0..255.
    const float unit = old_ ? 1.0f / 255.0f : 1.0f;
    std::array<float, 3> color{};
    for (float& c : color) c = Fixed(ReadScalar(unit), what);
    return color;
  }

  Motion ReadMotion() {
    Motion motion;
    if (in_.Peek() != "NumChannels") {
      in_.SkipLine();  // "(unnamed)" or a motion name
      motion.channels = ReadOldMotion();
      // LightWave 5 turned items in degrees.
      for (std::size_t c = 3; c < 6 && c < motion.channels.size(); ++c) {
        for (CurveKey& key : motion.channels[c].keys) key.value *= kRadiansPerDegree;
      }
      return motion;
    }
    in_.Next();
    const int32_t count = Integer();
    if (count < 0 || static_cast<std::size_t>(count) > kMaxChannels) Fail("NumChannels " + std::to_string(count));
    std::vector<std::optional<Curve>> read(static_cast<std::size_t>(count));
    while (in_.Peek() == "Channel") {
      in_.Next();
      const int32_t index = Integer();
      if (index < 0 || static_cast<std::size_t>(index) >= kMaxChannels) Fail("channel " + std::to_string(index));
      if (static_cast<std::size_t>(index) >= read.size()) read.resize(static_cast<std::size_t>(index) + 1);
      read[static_cast<std::size_t>(index)] = ReadCurve();
    }
    for (std::size_t c = 0; c < read.size(); ++c) {
      motion.channels.push_back(read[c] ? std::move(*read[c]) : Curve::Constant(c >= 6 && c < 9 ? 1.0f : 0.0f));
    }
    return motion;
  }

  // --- items ------------------------------------------------------------

  // An item id written after the keyword by LightWave 7 and later.
  std::optional<uint32_t> ExplicitId(bool moreAfter) {
    if (!in_.MoreOnLine() || !IsHexId(in_.Peek())) return std::nullopt;
    if (moreAfter) {
      LineTokens ahead = in_;
      ahead.Next();
      if (!ahead.MoreOnLine()) return std::nullopt;
    }
    return HexValue(in_.Next());
  }

  void NewObject(std::string mesh, std::string nullName, std::optional<uint32_t> id) {
    DemoObject object;
    object.label = mesh.empty() ? nullName : mesh;
    object.mesh = std::move(mesh);
    object.nullName = OneWord(std::move(nullName));
    if (id) objectIds_[*id] = static_cast<uint16_t>(scene().objects.size());
    scene().objects.push_back(std::move(object));
    kind_ = Kind::Object;
  }

  void NewLight(std::optional<uint32_t> id) {
    if (id) lightIds_[*id] = static_cast<uint16_t>(scene().lights.size());
    scene().lights.emplace_back().name.clear();
    lightNamed_ = noFlare_ = false;
    kind_ = Kind::Light;
  }

  void NewCamera(std::optional<uint32_t> id) {
    if (id) cameraIds_[*id] = static_cast<uint16_t>(scene().cameras.size());
    scene().cameras.emplace_back();
    cameraShown_ = cameraMoved_ = false;
    kind_ = Kind::Camera;
  }

  void Link(bool byNumber, uint32_t value) {
    PendingLink link{kind_, 0, 0, byNumber, value};
    switch (kind_) {
      case Kind::Object: link.index = scene().objects.size() - 1; break;
      case Kind::Bone:
        link.index = scene().objects.size() - 1;
        link.bone = scene().objects.back().bones.size() - 1;
        boneLinked_ = true;
        break;
      case Kind::Light: link.index = scene().lights.size() - 1; break;
      case Kind::Camera: link.index = scene().cameras.size() - 1; break;
      case Kind::None: return;
    }
    links_.push_back(link);
  }

  // Bone blocks end where the object's own settings go on.
  bool BoneStatement(const std::string& k) const {
    if (k == "ParentItem") return !boneLinked_;
    for (const char* object :
         {"ObjectMotion", "ObjectDissolve", "ObjDissolve", "PolygonSize", "MorphAmount", "MorphTarget", "MorphSurfaces",
          "Plugin", "LineThickness", "UnaffectedByFog", "UnseenByRays", "UnseenByCamera", "UnseenByAlphaChannel",
          "ShadowOptions", "PivotPosition", "PivotPoint", "TargetItem", "BoneFalloffType"}) {
      if (k == object) return false;
    }
    return true;
  }

  void SkipPlugin(const std::string& name) {
    Warn(Label() + ": plugin " + name + " is dropped");
    while (!in_.AtEnd() && in_.Next() != "EndPlugin") {
    }
  }

  // The morph mixer's data, in the one layout the player reads.
  void ReadMixer(DemoObject& object) {
    const int32_t channels = Integer();
    const int32_t groups = Integer();
    if (channels < 0 || channels > 0xFFFF || groups < 0) Fail("morph mixer of " + std::to_string(channels) + " channels");
    std::vector<Curve> mixer;
    for (int32_t g = 0; g < groups; ++g) {
      in_.Next(), in_.Next();
      const int32_t n = Integer();
      in_.Next(), in_.Next();
      for (int32_t i = 0; i < n; ++i) {
        for (int w = 0; w < 4; ++w) in_.Next();
        mixer.push_back(ReadCurve());
        in_.Next();
      }
    }
    if (mixer.size() != static_cast<std::size_t>(channels)) {
      Fail("the morph mixer has " + std::to_string(mixer.size()) + " envelopes for " + std::to_string(channels) +
           " channels");
    }
    if (in_.Next() != "EndPlugin") Fail("expected EndPlugin after the morph mixer's envelopes");
    object.mixer = std::move(mixer);
    object.mixerEnabled = true;
    if (in_.Peek() == "PluginEnabled") {
      in_.Next();
      in_.Next();
      object.mixerEnabled = false;  // whatever its value, as the player has it
    }
  }

  void Statement(const std::string& k, int line) {
    if (kind_ == Kind::Bone && !BoneStatement(k)) kind_ = Kind::Object;
    if (SceneStatement(k)) return;
    if (k == "LoadObjectLayer" || k == "LoadObject") {
      std::string layer = "1";
      if (k == "LoadObjectLayer") layer = std::string(in_.Next());
      const std::optional<uint32_t> id = ExplicitId(true);
      std::string path = in_.RestOfLine();
      if (path.empty()) Fail(k + " without a file");
      NewObject(path, "", id);
      if (layer != "1") {
        Warn(Label() + ": layer " + layer + " is asked for; the converted mesh holds every layer of the object");
      }
    } else if (k == "AddNullObject") {
      const std::optional<uint32_t> id = ExplicitId(true);
      std::string name = in_.RestOfLine();
      NewObject("", name.empty() ? "Null" : name, id);
    } else if (k == "AddLight") {
      NewLight(ExplicitId(false));
    } else if (k == "LightName") {
      if (kind_ != Kind::Light || lightNamed_) NewLight(std::nullopt);
      const std::string name = in_.RestOfLine();
      scene().lights.back().name = OneWord(name.empty() ? "Light" : name);
      if (scene().lights.back().name != name && !name.empty()) {
        Warn(Label() + ": the name \"" + name + "\" is written as one word, " + scene().lights.back().name);
      }
      lightNamed_ = true;
    } else if (k == "AddCamera") {
      NewCamera(ExplicitId(false));
    } else if (k == "CameraName") {
      if (kind_ != Kind::Camera || cameraShown_ || cameraMoved_) NewCamera(std::nullopt);
      const std::string name = OneWord(in_.RestOfLine());
      if (!name.empty()) scene().cameras.back().name = name;
    } else if (k == "ShowCamera") {
      if (kind_ != Kind::Camera || cameraShown_ || cameraMoved_) NewCamera(std::nullopt);
      cameraShown_ = true;
    } else if (k == "CameraMotion") {
      if (kind_ != Kind::Camera || cameraMoved_) NewCamera(std::nullopt);
      cameraMoved_ = true;
      scene().cameras.back().motion = ReadMotion();
    } else if (k == "AddBone") {
      if (kind_ != Kind::Object && kind_ != Kind::Bone) {
        Warn("line " + std::to_string(line) + ": a bone outside any object is dropped");
        return;
      }
      ExplicitId(false);
      scene().objects.back().bones.emplace_back().name = "Bone";
      kind_ = Kind::Bone;
      boneLinked_ = false;
    } else if (k == "Plugin") {
      in_.Next(), in_.Next();
      const std::string name(in_.Next());
      if (name == "LW_MorphMixer" && kind_ == Kind::Object) {
        ReadMixer(scene().objects.back());
      } else {
        SkipPlugin(name);
      }
    } else {
      ItemStatement(k);
    }
  }

  bool SceneStatement(const std::string& k) {
    DemoScene& s = scene();
    if (k == "FirstFrame") {
      ConvertUnsigned(in_.Next(), &s.firstFrame);
    } else if (k == "LastFrame") {
      ConvertUnsigned(in_.Next(), &s.lastFrame);
    } else if (k == "FramesPerSecond") {
      const float rate = Number();
      s.framesPerSecond = rate >= 1 ? static_cast<uint32_t>(std::lround(rate)) : 30;
      if (static_cast<float>(s.framesPerSecond) != rate) {
        Warn("scene: FramesPerSecond " + FloatWord(rate) + ": the player counts whole frames per second; written as " +
             std::to_string(s.framesPerSecond));
      }
    } else if (k == "NearClipDistance") {
      s.nearClip = Number();
    } else if (k == "FogType") {
      s.fogType = Integer();
    } else if (k == "FogMinDistance" || k == "FogMinDist") {
      s.fogMin = ReadScalar();
    } else if (k == "FogMaxDistance" || k == "FogMaxDist") {
      s.fogMax = ReadScalar();
    } else if (k == "FogColor") {
      s.fogColor = ReadColor("the fog colour");
    } else if (k == "BackdropColor") {
      s.backdropColor = ReadColor("the backdrop colour");
    } else if (k == "AmbientColor") {
      s.ambientColor = ReadColor("the ambient colour");
    } else if (k == "AmbientIntensity" || k == "AmbIntensity") {
      s.ambientIntensity = ReadScalar();
    } else if (k == "BGImage" || k == "FGImage") {
      Picture(k == "BGImage" ? s.bgImage : s.fgImage, k);
    } else if (k == "FGDissolve") {
      s.fgDissolve = ReadScalar();
    } else {
      return false;
    }
    return true;
  }

  static std::string FloatWord(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
  }

  void Picture(std::string& path, const std::string& keyword) {
    std::string rest = in_.RestOfLine();
    // The player's own layout ends in the quoted file name.
    const std::size_t quote = rest.rfind('"', rest.size() >= 2 ? rest.size() - 2 : 0);
    if (rest.size() >= 2 && rest.back() == '"' && quote != std::string::npos) {
      rest = rest.substr(quote + 1, rest.size() - quote - 2);
    }
    if (rest.empty() || IsHexId(rest)) {
      Warn("scene: " + keyword + " names no picture file; it is dropped");
      return;
    }
    for (char& c : rest) {
      if (c == '\\') c = '/';
    }
    if (rest.find(' ') != std::string::npos) {
      Warn("scene: " + keyword + " \"" + rest + "\" has a blank in its name, which the player cannot read; it is dropped");
      return;
    }
    path = rest;
  }

  void ItemStatement(const std::string& k) {
    if (kind_ == Kind::None) return;
    if (k == "ParentItem" || k == "ParentObject") {
      const std::string_view word = in_.Next();
      if (k == "ParentItem") {
        Link(false, HexValue(word));
      } else {
        uint32_t number = 0;
        if (ConvertUnsigned(word, &number) && number > 0) Link(true, number);
      }
    } else if (k == "PivotPosition" || k == "PivotPoint") {
      std::array<float, 3> pivot{};
      for (float& p : pivot) p = Fixed(ReadScalar(), "the pivot");
      if (pivot != std::array<float, 3>{0, 0, 0}) {
        Warn(Label() + ": its pivot (" + FloatWord(pivot[0]) + " " + FloatWord(pivot[1]) + " " + FloatWord(pivot[2]) +
             ") is dropped: the player turns items about their origin");
      }
    } else if (k == "TargetItem" || k == "TargetObject") {
      Warn(Label() + ": its target is dropped: the player does not aim items at targets");
    } else if (kind_ == Kind::Bone) {
      BoneItemStatement(k);
    } else if (kind_ == Kind::Object) {
      ObjectStatement(k);
    } else if (kind_ == Kind::Light) {
      LightStatement(k);
    } else if (kind_ == Kind::Camera) {
      CameraStatement(k);
    }
  }

  void BoneItemStatement(const std::string& k) {
    DemoBone& bone = scene().objects.back().bones.back();
    if (k == "BoneName") {
      const std::string name = OneWord(in_.RestOfLine());
      if (!name.empty()) bone.name = name;
    } else if (k == "BoneRestPosition") {
      for (float& v : bone.restPosition) v = Fixed(ReadScalar(), "a bone's rest position");
    } else if (k == "BoneRestDirection") {
      for (float& v : bone.restDirection) v = Fixed(ReadScalar(), "a bone's rest direction");
    } else if (k == "BoneMotion") {
      bone.motion = ReadMotion();
    }
  }

  void ObjectStatement(const std::string& k) {
    DemoObject& o = scene().objects.back();
    if (k == "ObjectMotion") {
      o.motion = ReadMotion();
    } else if (k == "ObjectDissolve" || k == "ObjDissolve") {
      o.dissolve = ReadScalar();
    } else if (k == "PolygonSize") {
      o.polygonSize = ReadScalar();
    } else if (k == "MorphAmount") {
      o.morphAmount = ReadScalar();
    } else if (k == "MorphTarget") {
      const std::string_view word = in_.Next();
      int32_t number = -1;
      // Later versions name the target by its item id.
      if (IsHexId(word) && word[0] == '1') {
        morphIds_.emplace_back(scene().objects.size() - 1, HexValue(word));
      } else {
        ConvertInt(word, &number);
      }
      o.morphTarget = number;
    } else if (k == "BoneFalloffType") {
      o.boneFalloff = std::string(in_.Next());
    } else if (k == "LineThickness") {
      o.lineThickness = std::string(in_.Next());
    } else if (k == "UnaffectedByFog") {
      o.unaffectedByFog = true;
    } else if (k == "UnseenByRays") {
      o.unseenByRays = true;
    } else if (k == "UnseenByCamera") {
      o.unseenByCamera = true;
    } else if (k == "UnseenByAlphaChannel") {
      o.unseenByAlphaChannel = true;
    }
  }

  void LightStatement(const std::string& k) {
    DemoLight& l = scene().lights.back();
    if (k == "LightMotion") {
      l.motion = ReadMotion();
    } else if (k == "LightColor") {
      l.color = ReadColor("the light colour");
    } else if (k == "LightIntensity" || k == "LgtIntensity") {
      l.intensity = ReadScalar();
    } else if (k == "LightType") {
      l.type = Integer();
      if (l.type < 0 || l.type > 2) {
        Warn(Label() + ": light type " + std::to_string(l.type) + " (linear or area) becomes a point light");
        l.type = 1;
      }
    } else if (k == "LightConeAngle" || k == "ConeAngle" || k == "LgtConeAngle") {
      l.coneAngle = ReadScalar();
    } else if (k == "LensFlare") {
      noFlare_ = Integer() == 0;
      if (noFlare_) l.flareIntensity.reset();
    } else if (k == "FlareIntensity") {
      l.flareIntensity = ReadScalar();
      if (noFlare_) l.flareIntensity.reset();
    } else if (k == "FlareNominalDistance") {
      l.flareNominalDistance = ReadScalar();
    } else if (k == "FlareDissolve") {
      l.flareDissolve = ReadScalar();
    } else if (k == "LensFlareFade") {
      l.lensFlareFade = Integer();
    }
  }

  void CameraStatement(const std::string& k) {
    DemoCamera& c = scene().cameras.back();
    if (k == "ZoomFactor") {
      c.zoom = ReadScalar();
    } else if (k == "MotionBlur") {
      ConvertUnsigned(in_.Next(), &c.motionBlur);
    } else if (k == "BlurLength") {
      c.blurLength = ReadScalar();
    } else if (k == "DepthOfField") {
      ConvertUnsigned(in_.Next(), &c.depthOfField);
    } else if (k == "FocalDistance") {
      c.focalDistance = ReadScalar();
    }
  }

  // --- links ------------------------------------------------------------

  std::optional<ItemLink> Target(const PendingLink& p, const std::string& label) {
    ItemLink link;
    std::size_t count = 0;
    if (p.byNumber) {
      link.kind = ItemRef::kObject;
      link.index = static_cast<uint16_t>(p.value - 1);
      count = scene().objects.size();
    } else {
      const ItemRef ref = ItemRef::FromId(p.value);
      link.kind = ref.kind;
      link.index = ref.index;
      link.owner = ref.ownerIndex;
      const std::map<uint32_t, uint16_t>* ids = nullptr;
      switch (ref.kind) {
        case ItemRef::kObject: ids = &objectIds_, count = scene().objects.size(); break;
        case ItemRef::kLight: ids = &lightIds_, count = scene().lights.size(); break;
        case ItemRef::kCamera: ids = &cameraIds_, count = scene().cameras.size(); break;
        case ItemRef::kBone:
          return link;  // the player gives items no bone parents; kept as written
        default: break;
      }
      if (ids != nullptr) {
        if (const auto it = ids->find(p.value); it != ids->end()) link.index = it->second;
      }
    }
    if (link.index >= count) {
      Warn(label + ": its parent " + std::to_string(p.value) + " is not an item of the scene; it is dropped");
      return std::nullopt;
    }
    return link;
  }

  void Resolve() {
    DemoScene& s = scene();
    for (const PendingLink& p : links_) {
      switch (p.item) {
        case Kind::Object: s.objects[p.index].parent = Target(p, "object " + std::to_string(p.index + 1)); break;
        case Kind::Light: s.lights[p.index].parent = Target(p, "light " + std::to_string(p.index + 1)); break;
        case Kind::Camera: s.cameras[p.index].parent = Target(p, "camera " + std::to_string(p.index + 1)); break;
        case Kind::Bone: {
          DemoBone& bone = s.objects[p.index].bones[p.bone];
          const std::optional<ItemLink> link = Target(p, "a bone of object " + std::to_string(p.index + 1));
          if (link) bone.parent = *link;
          break;
        }
        case Kind::None: break;
      }
    }
    for (const auto& [object, id] : morphIds_) {
      const auto it = objectIds_.find(id);
      s.objects[object].morphTarget = (it != objectIds_.end() ? it->second : static_cast<int32_t>(id & 0xFFFF)) + 1;
    }
    for (std::size_t i = 0; i < s.objects.size(); ++i) {
      DemoObject& o = s.objects[i];
      const std::string label = "object " + std::to_string(i + 1) + " (" + o.label + ")";
      if (o.morphTarget != -1 && (o.morphTarget < 1 || static_cast<std::size_t>(o.morphTarget) > s.objects.size() ||
                                  s.objects[static_cast<std::size_t>(o.morphTarget) - 1].mesh.empty())) {
        Warn(label + ": morph target " + std::to_string(o.morphTarget) + " is not an object with a mesh; it is dropped");
        o.morphTarget = -1;
      }
      // The player morphs only with both an amount and a target.
      if (o.morphTarget == -1 || !o.morphAmount) {
        o.morphTarget = -1;
        o.morphAmount.reset();
      }
      if (o.mesh.empty() && (o.morphAmount || !o.mixer.empty() || o.boneFalloff)) {
        Warn(label + ": a null object cannot morph or carry bones; its morph and bones are dropped");
        o.morphAmount.reset();
        o.morphTarget = -1;
        o.mixer.clear();
        o.boneFalloff.reset();
        o.bones.clear();
      }
      if (!o.bones.empty() && !o.boneFalloff) o.boneFalloff = "0";
      if (o.boneFalloff && o.bones.empty()) o.boneFalloff.reset();
    }
    for (DemoLight& l : s.lights) {
      if (l.type == 2 && !l.coneAngle) l.coneAngle = Scalar::Of(30);
    }
  }

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

}  // namespace

LightWaveScene ReadLightWaveScene(std::string_view text, const std::string& file,
                                  std::vector<std::string>& warnings) {
  return Reader(text, file, warnings).Read();
}

}  // namespace stagwerk::kq7
