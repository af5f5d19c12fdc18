#include "kq7/formats/demoscene/DemoSceneWriter.h"

#include <cstdio>

#include "base/SceneReader.h"

namespace stagwerk::kq7 {

std::string FloatText(float v) {
  char text[40];
  for (int precision = 6; precision <= 9; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(v));
    float back = 0;
    if (ConvertFloat(text, &back) && back == v) break;
  }
  return text;
}

namespace {

// A name or value as one word of the player's text, never none.
std::string Word(const std::string& text, const char* fallback) {
  if (text.empty()) return fallback;
  std::string word = text;
  for (char& c : word) {
    if (!IsTokenChar(static_cast<unsigned char>(c))) c = '_';
  }
  return word;
}

std::string Hex(uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", id);
  return text;
}

std::string Triple(const std::array<float, 3>& v) {
  return FloatText(v[0]) + " " + FloatText(v[1]) + " " + FloatText(v[2]);
}

std::string CurveText(const Curve& curve) {
  std::string text = "{ Envelope\n  " + std::to_string(curve.keys.size()) + "\n";
  for (const CurveKey& k : curve.keys) {
    text += "  Key " + FloatText(k.value) + " " + FloatText(k.time) + " " + std::to_string(k.shape);
    for (float p : k.params) text += " " + FloatText(p);
    text += "\n";
  }
  return text + "  Behaviors " + std::to_string(curve.pre) + " " + std::to_string(curve.post) + "\n}\n";
}

std::string ScalarLine(const std::string& keyword, const Scalar& s) {
  if (!s.curve) return keyword + " " + FloatText(s.value) + "\n";
  return keyword + " (envelope)\n" + CurveText(*s.curve);
}

std::string MotionText(const std::string& keyword, const Motion& motion) {
  std::string text = keyword + "\nNumChannels " + std::to_string(motion.channels.size()) + "\n";
  for (std::size_t i = 0; i < motion.channels.size(); ++i) {
    text += "Channel " + std::to_string(i) + "\n" + CurveText(motion.channels[i]);
  }
  return text;
}

std::string ParentLine(const std::optional<ItemLink>& link) {
  return link ? "ParentItem " + Hex(link->Id()) + "\n" : "";
}

std::string BoneText(const DemoBone& b) {
  // Seven words after AddBone and twelve after the rest direction are
  // passed over by the player; these are LightWave's own.
  std::string text = "AddBone\nBoneName " + Word(b.name, "Bone") + "\nShowBone 1 -1\nBoneActive 1\nBoneRestPosition " +
                     Triple(b.restPosition) + "\nBoneRestDirection " + Triple(b.restDirection) +
                     "\nBoneRestLength 1\nScaleBoneStrength 1\nBoneStrength 1\nBoneStrengthMultiply 0\n"
                     "BoneLimitedRange 0\nBoneNormalization 0\n";
  return text + MotionText("BoneMotion", b.motion) + "ParentItem " + Hex(b.parent.Id()) + "\n";
}

std::string ObjectText(const DemoObject& o) {
  std::string text = o.mesh.empty() ? "AddNullObject " + Word(o.nullName, "Null") + "\n" : "LoadObjectLayer 1 " + Word(o.mesh, "") + "\n";
  text += "ShowObject 6 3\n" + MotionText("ObjectMotion", o.motion);
  if (o.boneFalloff) {
    text += "BoneFalloffType " + Word(*o.boneFalloff, "0") + "\n";
    for (const DemoBone& bone : o.bones) text += BoneText(bone);
  }
  text += ParentLine(o.parent);
  if (o.morphAmount) {
    text += ScalarLine("MorphAmount", *o.morphAmount) + "MorphTarget " + std::to_string(o.morphTarget) +
            "\nMorphSurfaces 0\n";
  }
  if (!o.mixer.empty()) {
    const std::string n = std::to_string(o.mixer.size());
    text += "Plugin MorphDeformer 1 LW_MorphMixer\n" + n + " 1\nGroup Shapes\n" + n + "\nChannels " + n + "\n";
    for (std::size_t i = 0; i < o.mixer.size(); ++i) {
      text += "Morph " + std::to_string(i) + " Target Weight\n" + CurveText(o.mixer[i]) + "EndMorph\n";
    }
    text += "EndPlugin\n";
    if (!o.mixerEnabled) text += "PluginEnabled 0\n";
  }
  if (o.dissolve) text += ScalarLine("ObjectDissolve", *o.dissolve);
  if (o.polygonSize) text += ScalarLine("PolygonSize", *o.polygonSize);
  if (!o.lineThickness.empty()) text += "LineThickness " + Word(o.lineThickness, "") + " 0 0 0\n";
  if (o.unaffectedByFog) text += "UnaffectedByFog 1\n";
  if (o.unseenByRays) text += "UnseenByRays 1\n";
  if (o.unseenByCamera) text += "UnseenByCamera 1\n";
  if (o.unseenByAlphaChannel) text += "UnseenByAlphaChannel 1\n";
  return text + "ShadowOptions 7\n\n";
}

std::string LightText(const DemoLight& l) {
  std::string text = "AddLight\nLightName " + Word(l.name, "Light") + "\nShowLight 0 7\n" + MotionText("LightMotion", l.motion) +
                     ParentLine(l.parent) + "LightColor " + Triple(l.color) + "\n" +
                     ScalarLine("LightIntensity", l.intensity) + "LightType " + std::to_string(l.type) + "\n";
  if (l.type == 2 && l.coneAngle) text += ScalarLine("LightConeAngle", *l.coneAngle);
  if (l.flareIntensity) {
    text += ScalarLine("FlareIntensity", *l.flareIntensity);
    if (l.flareNominalDistance) text += ScalarLine("FlareNominalDistance", *l.flareNominalDistance);
    text += ScalarLine("FlareDissolve", l.flareDissolve.value_or(Scalar::Of(0))) + "LensFlareFade " +
            std::to_string(l.lensFlareFade) + "\n";
  }
  return text + "ShadowType 1\n\n";
}

// The scene's own keywords: a camera's name is met by the scene's keyword
// loop, and one of these would start a block of its own there.
bool IsSceneKeyword(const std::string& word) {
  for (const char* keyword : {"FGDissolve", "NearClipDistance", "FirstFrame", "LastFrame", "FramesPerSecond", "FogType",
                              "FogMaxDistance", "FogMinDistance", "FogColor", "BackdropColor", "LightName",
                              "LoadObjectLayer", "AddNullObject", "BGImage", "FGImage", "AmbientColor", "CameraMotion"}) {
    if (word == keyword) return true;
  }
  return false;
}

std::string CameraText(const DemoCamera& c) {
  const std::string name = IsSceneKeyword(c.name) ? "Camera" : Word(c.name, "Camera");
  std::string text = "AddCamera\nCameraName " + name + "\nShowCamera 1 2\n" +
                     MotionText("CameraMotion", c.motion) + ParentLine(c.parent) + ScalarLine("ZoomFactor", c.zoom) +
                     // the twelve words the player passes over after the zoom
                     "ResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\n" +
                     "MotionBlur " + std::to_string(c.motionBlur) + "\nFieldRendering 0\n";
  if (c.motionBlur == 2) text += ScalarLine("BlurLength", c.blurLength.value_or(Scalar::Of(0.5f)));
  text += "DepthOfField " + std::to_string(c.depthOfField) + "\n";
  if (c.depthOfField == 1) text += ScalarLine("FocalDistance", c.focalDistance.value_or(Scalar::Of(0)));
  return text + "\n";
}

}  // namespace

std::string WriteDemoScene(const DemoScene& s) {
  std::string text = "LWSC\n3\n\nFirstFrame " + std::to_string(s.firstFrame) + "\nLastFrame " +
                     std::to_string(s.lastFrame) + "\nFrameStep 1\nFramesPerSecond " +
                     std::to_string(s.framesPerSecond) + "\n";
  if (s.nearClip) text += "NearClipDistance " + FloatText(*s.nearClip) + "\n";
  text += "\n";
  for (const DemoObject& object : s.objects) text += ObjectText(object);
  // The intensity must follow the colour directly: the player reads it only
  // there, and whatever word stands there instead is lost.
  if (s.ambientColor || s.ambientIntensity) {
    text += "AmbientColor " + Triple(s.ambientColor.value_or(std::array<float, 3>{1, 1, 1})) + "\n" +
            ScalarLine("AmbientIntensity", s.ambientIntensity.value_or(Scalar::Of(0.05f))) + "\n";
  }
  for (const DemoLight& light : s.lights) text += LightText(light);
  for (const DemoCamera& camera : s.cameras) text += CameraText(camera);
  if (s.backdropColor) text += "BackdropColor " + Triple(*s.backdropColor) + "\n";
  // FogType first: the player reads the near distance and colour only after it.
  text += "FogType " + std::to_string(s.fogType) + "\n";
  if (s.fogMin) text += ScalarLine("FogMinDistance", *s.fogMin);
  if (s.fogMax) text += ScalarLine("FogMaxDistance", *s.fogMax);
  if (s.fogColor) text += "FogColor " + Triple(*s.fogColor) + "\n";
  if (!s.bgImage.empty()) text += "BGImage 1 0 0 0 \"" + s.bgImage + "\"\n";
  if (!s.fgImage.empty()) text += "FGImage 1 0 0 0 \"" + s.fgImage + "\"\n";
  if (s.fgDissolve) text += ScalarLine("FGDissolve", *s.fgDissolve);
  return text;
}

}  // namespace stagwerk::kq7
