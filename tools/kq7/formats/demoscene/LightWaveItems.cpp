#include "kq7/formats/demoscene/LightWaveSceneReader.h"

// The objects, bones, lights and cameras a scene adds, and what each block says of its item.

namespace stagwerk::kq7::lightwave_scene {

std::string OneWord(std::string name) {
  for (char& c : name) {
    if (!IsTokenChar(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

void Reader::NewObject(std::string mesh, std::string nullName, std::optional<uint32_t> id) {
  DemoObject object;
  object.label = mesh.empty() ? nullName : mesh;
  object.mesh = std::move(mesh);
  object.nullName = OneWord(std::move(nullName));
  if (id) objectIds_[*id] = static_cast<uint16_t>(scene().objects.size());
  scene().objects.push_back(std::move(object));
  kind_ = Kind::Object;
}

void Reader::NewLight(std::optional<uint32_t> id) {
  if (id) lightIds_[*id] = static_cast<uint16_t>(scene().lights.size());
  scene().lights.emplace_back().name.clear();
  lightNamed_ = noFlare_ = false;
  kind_ = Kind::Light;
}

void Reader::NewCamera(std::optional<uint32_t> id) {
  if (id) cameraIds_[*id] = static_cast<uint16_t>(scene().cameras.size());
  scene().cameras.emplace_back();
  cameraShown_ = cameraMoved_ = false;
  kind_ = Kind::Camera;
}

// Bone blocks end where the object's own settings go on.
bool Reader::BoneStatement(const std::string& k) const {
  if (k == "ParentItem") return !boneLinked_;
  for (const char* object :
       {"ObjectMotion", "ObjectDissolve", "ObjDissolve", "PolygonSize", "MorphAmount", "MorphTarget", "MorphSurfaces",
        "Plugin", "LineThickness", "UnaffectedByFog", "UnseenByRays", "UnseenByCamera", "UnseenByAlphaChannel",
        "ShadowOptions", "PivotPosition", "PivotPoint", "TargetItem", "BoneFalloffType"}) {
    if (k == object) return false;
  }
  return true;
}

void Reader::SkipPlugin(const std::string& name) {
  Warn(Label() + ": plugin " + name + " is dropped");
  while (!in_.AtEnd() && in_.Next() != "EndPlugin") {
  }
}

void Reader::ItemStatement(const std::string& k) {
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

void Reader::BoneItemStatement(const std::string& k) {
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

void Reader::ObjectStatement(const std::string& k) {
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

void Reader::LightStatement(const std::string& k) {
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

void Reader::CameraStatement(const std::string& k) {
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

}  // namespace stagwerk::kq7::lightwave_scene
