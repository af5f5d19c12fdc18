#include "kq7/formats/demoscene/LightWaveSceneReader.h"

// A LightWave scene's statements, in the scene's own keyword loop.

namespace stagwerk::kq7::lightwave_scene {

LightWaveScene Reader::Read() {
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

void Reader::Fail(const std::string& text) {
  throw InputError(file_ + ":" + std::to_string(in_.Line()) + ": " + text);
}

// The rate before anything is read: LightWave 5 keys are frame numbers.
float Reader::FindRate() {
  LineTokens scan = in_;
  while (!scan.AtEnd()) {
    if (scan.Next() == "FramesPerSecond") {
      float rate = 0;
      if (ConvertFloat(scan.Next(), &rate) && rate > 0 && std::isfinite(rate)) return rate;
    }
  }
  return 30.0f;
}

std::string Reader::Label() const {
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

float Reader::Number() {
  const std::string_view word = in_.Next();
  float value = 0;
  if (!ConvertFloat(word, &value)) Fail("expected a number, found \"" + std::string(word) + "\"");
  return value;
}

int32_t Reader::Integer() {
  const std::string_view word = in_.Next();
  int32_t value = 0;
  if (!ConvertInt(word, &value)) Fail("expected a whole number, found \"" + std::string(word) + "\"");
  return value;
}

void Reader::Statement(const std::string& k, int line) {
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

bool Reader::SceneStatement(const std::string& k) {
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

std::string Reader::FloatWord(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
  return text;
}

void Reader::Picture(std::string& path, const std::string& keyword) {
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

}  // namespace stagwerk::kq7::lightwave_scene

namespace stagwerk::kq7 {

LightWaveScene ReadLightWaveScene(std::string_view text, const std::string& file,
                                  std::vector<std::string>& warnings) {
  return lightwave_scene::Reader(text, file, warnings).Read();
}

}  // namespace stagwerk::kq7
