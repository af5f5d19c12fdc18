#include "Lws.h"

#include <cstdio>

namespace demo_assets {

namespace {

std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

std::string Triple(const std::array<float, 3>& v) { return Number(v[0]) + " " + Number(v[1]) + " " + Number(v[2]); }

std::string Channels(const Motion& motion, int count) {
  std::string text = "NumChannels " + std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i) {
    text += "Channel " + std::to_string(i) + "\n" + EnvelopeText(motion.channels[static_cast<std::size_t>(i)]);
  }
  return text;
}

std::string Parent(const std::string& id) { return id.empty() ? "" : "ParentItem " + id + "\n"; }

std::string ObjectText(const ObjectSpec& o) {
  std::string text = o.mesh.empty() ? "AddNullObject " + o.nullName + "\n" : "LoadObjectLayer 1 Objects/" + o.mesh + ".lwo\n";
  text += "ShowObject 6 3\nObjectMotion\n" + Channels(o.motion, 9) + Parent(o.parent);
  if (o.morphAmount) {
    text += ScalarLine("MorphAmount", *o.morphAmount) + "MorphTarget " + std::to_string(o.morphTarget) +
            "\nMorphSurfaces 0\n";
  }
  if (!o.mixer.empty()) {
    const std::string n = std::to_string(o.mixer.size());
    text += "Plugin MorphDeformer 1 LW_MorphMixer\n" + n + " 1\nGroup Shapes\n" + n + "\nChannels " + n + "\n";
    for (std::size_t i = 0; i < o.mixer.size(); ++i) {
      text += "Morph " + std::to_string(i) + " Target Weight\n" + EnvelopeText(o.mixer[i]) + "EndMorph\n";
    }
    text += "EndPlugin\n";
  }
  if (o.dissolve) text += ScalarLine("ObjectDissolve", *o.dissolve);
  if (o.polygonSize) text += ScalarLine("PolygonSize", *o.polygonSize);
  if (o.brightness != 0) text += "LineThickness " + std::to_string(o.brightness) + " 0 0 0\n";
  if (o.unlit) text += "UnaffectedByFog 1\n";
  if (o.additive) text += "UnseenByRays 1\n";
  return text + "ShadowOptions 7\n\n";
}

std::string LightText(const LightSpec& l) {
  std::string text = "AddLight\nLightName " + l.name + "\nShowLight 0 7\nLightMotion\n" + Channels(l.motion, 6) +
                     Parent(l.parent) + "LightColor " + Triple(l.colour) + "\n" + ScalarLine("LightIntensity", l.intensity) +
                     "AffectCaustics 1\nLightType " + std::to_string(l.type) + "\n";
  if (l.type == 2 && l.coneAngle) text += ScalarLine("LightConeAngle", *l.coneAngle);
  text += "LightFalloffType 0\nLightRange 1\nLightEdgeAngle 5\n";
  if (l.flare) {
    text += ScalarLine("FlareIntensity", *l.flare) + "FlareNominalDistance " + Number(l.flareSize) +
            "\nFlareDissolve 0\nLensFlareFade " + std::to_string(l.flareOptions) + "\nLensFlareOptions 7\n";
  }
  return text + "ShadowType 1\nShadowColor 0 0 0\n\n";
}

std::string CameraText(const CameraSpec& c) {
  std::string text = "AddCamera\nCameraName Camera\nShowCamera 1 2\nCameraMotion\n" + Channels(c.motion, 6) +
                     Parent(c.parent) + ScalarLine("ZoomFactor", c.zoom) +
                     "ResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\n";
  text += c.blurLength ? "MotionBlur 2\nFieldRendering 0\n" + ScalarLine("BlurLength", *c.blurLength)
                       : "MotionBlur 0\nFieldRendering 0\n";
  text += c.shake ? "DepthOfField 1\n" + ScalarLine("FocalDistance", *c.shake) : "DepthOfField 0\n";
  return text + "\n";
}

}  // namespace

Envelope Const(float value) { return Envelope{{Key{value, 0, kLinear}}, kConstant, kConstant}; }

Envelope Keys(const std::vector<std::pair<float, float>>& keys, int shape, int post) {
  Envelope envelope;
  for (const auto& [value, time] : keys) envelope.keys.push_back({value, time, shape});
  envelope.post = post;
  return envelope;
}

std::string EnvelopeText(const Envelope& envelope) {
  std::string text = "{ Envelope\n  " + std::to_string(envelope.keys.size()) + "\n";
  for (const Key& key : envelope.keys) {
    text += "  Key " + Number(key.value) + " " + Number(key.time) + " " + std::to_string(key.shape) + " 0 0 0 0 0 0\n";
  }
  return text + "  Behaviors " + std::to_string(envelope.pre) + " " + std::to_string(envelope.post) + "\n}\n";
}

std::string ScalarLine(const std::string& keyword, const Envelope& envelope) {
  if (envelope.keys.size() == 1) return keyword + " " + Number(envelope.keys[0].value) + "\n";
  return keyword + " (envelope)\n" + EnvelopeText(envelope);
}

Motion::Motion() {
  for (std::size_t i = 0; i < channels.size(); ++i) channels[i] = Const(i >= 6 ? 1.0f : 0.0f);
}

Motion& Motion::At(float x, float y, float z) {
  channels[0] = Const(x);
  channels[1] = Const(y);
  channels[2] = Const(z);
  return *this;
}

Motion& Motion::Turn(float heading, float pitch, float bank) {
  channels[3] = Const(heading);
  channels[4] = Const(pitch);
  channels[5] = Const(bank);
  return *this;
}

Motion& Motion::Scale(float s) {
  for (std::size_t i = 6; i < 9; ++i) channels[i] = Const(s);
  return *this;
}

std::string ObjectId(int index) {
  char text[16];
  std::snprintf(text, sizeof text, "1%07X", index);
  return text;
}

std::string CameraId(int index) {
  char text[16];
  std::snprintf(text, sizeof text, "3%07X", index);
  return text;
}

std::string SceneText(const SceneSpec& s) {
  std::string text = "LWSC\n3\n\nFirstFrame " + std::to_string(s.firstFrame) + "\nLastFrame " +
                     std::to_string(s.lastFrame) + "\nFrameStep 1\nPreviewFirstFrame " + std::to_string(s.firstFrame) +
                     "\nPreviewLastFrame " + std::to_string(s.lastFrame) + "\nPreviewFrameStep 1\nCurrentFrame " +
                     std::to_string(s.firstFrame) + "\nFramesPerSecond " + std::to_string(s.fps) + "\n\n";
  for (const ObjectSpec& object : s.objects) text += ObjectText(object);
  text += "AmbientColor " + Triple(s.ambientColour) + "\n" + ScalarLine("AmbientIntensity", s.ambient) + "\n";
  for (const LightSpec& light : s.lights) text += LightText(light);
  for (const CameraSpec& camera : s.cameras) text += CameraText(camera);
  text += "BackdropColor " + Triple(s.backdrop) + "\n";
  // FogType comes first: the loader reads the fog distances and colour only
  // once it knows the fog is linear.
  text += "FogType " + std::string(s.fog ? "1" : "0") + "\nFogMinDistance " + Number(s.fogMin) + "\n" +
          ScalarLine("FogMaxDistance", s.fogMax) + "FogColor " + Triple(s.fogColour) + "\n";
  if (!s.bgImage.empty()) text += "BGImage 1 0 0 0 \"" + s.bgImage + "\"\n";
  if (!s.fgImage.empty()) text += "FGImage 1 0 0 0 \"" + s.fgImage + "\"\n";
  if (s.fgDissolve) text += ScalarLine("FGDissolve", *s.fgDissolve);
  return text;
}

}  // namespace demo_assets
