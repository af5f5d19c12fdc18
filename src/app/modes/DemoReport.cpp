#include "app/modes/DemoReport.h"

#include <cstdio>
#include <string>

#include "app/loading/Demo.h"
#include "frame/ScenePose.h"
#include "frame/SyncValues.h"
#include "objects/Mesh.h"
#include "scene/ItemNames.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

using Json = DumpJson;

std::string FormatTime(float seconds) {
  const long total = static_cast<long>(static_cast<double>(seconds) * 1000.0 + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld:%03ld", total / 3600000, total / 60000 % 60, total / 1000 % 60,
                total % 1000);
  return text;
}

template <typename T>
int IndexIn(const PointerList<T>& list, const T* item) {
  int i = 0;
  for (const T& element : list) {
    if (&element == item) return i;
    ++i;
  }
  return -1;
}

std::string Seconds(float seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(seconds));
  return text;
}

std::string Plural(int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

Json MatrixJson(const Matrix4& matrix) {
  Json values = Json::array();
  for (float v : matrix.m) values.push_back(v);
  return values;
}

Json ScalarJson(const ScalarOrEnvelope& scalar) {
  if (scalar.envelope) return Json{{"envelope", scalar.envelope->count()}};
  return scalar.value;
}

Json ColorJson(const Color4& c) { return Json::array({c.red, c.green, c.blue, c.alpha}); }

Json ParentJson(const SceneItem& item) {
  if (!item.parentRef) return nullptr;
  static const char* const kKinds[] = {"none", "object", "light", "camera", "bone"};
  const ItemRef& ref = *item.parentRef;
  Json parent{{"kind", ref.kind <= 4 ? kKinds[ref.kind] : "unknown"}, {"index", ref.index}};
  if (ref.kind == ItemRef::kBone) parent["owner"] = ref.ownerIndex;
  parent["resolved"] = item.parent != nullptr;
  return parent;
}

Json FlagsJson(ObjectFlags flags) {
  using enum ObjectFlag;
  static const std::pair<ObjectFlag, const char*> kNames[] = {
      {Additive, "Additive"}, {Unlit, "Unlit"}, {NoDepthTest, "NoDepthTest"}, {MorphMixer, "MorphMixer"},
      {NoBlend, "NoBlend"}, {DoubleBrightness, "DoubleBrightness"}, {QuadrupleBrightness, "QuadrupleBrightness"}};
  Json names = Json::array();
  for (const auto& [flag, name] : kNames) {
    if (flags.Has(flag)) names.push_back(name);
  }
  return names;
}

// name: as ItemNames gives it, which sync track names use.
Json ObjectJson(const SceneObject& object, const std::string& name) {
  Json json{{"kind", object.mesh ? "object" : "null"}, {"name", name}, {"parent", ParentJson(object)},
            {"flags", FlagsJson(object.flags)}, {"channels", object.motion.count()}};
  if (object.mesh) {
    json["mesh"] = object.mesh->name();
    Json textures = Json::array();
    if (object.mesh->texture()) textures.push_back(object.mesh->texture()->path);
    if (object.mesh->texture2()) textures.push_back(object.mesh->texture2()->path);
    json["textures"] = textures;
  }
  json["dissolve"] = object.dissolve ? ScalarJson(*object.dissolve) : Json("never drawn");
  json["polygonSize"] = ScalarJson(object.polygonSize);
  if (object.morphTarget) {
    json["morphTarget"] = object.morphTarget->itemIndex + 1;  // objects are numbered first
    json["morphAmount"] = ScalarJson(*object.morphAmount);
  }
  if (!object.mixerChannels.empty()) json["mixerChannels"] = object.mixerChannelCount();
  if (!object.bones.empty()) json["bones"] = object.bones.size();
  return json;
}

Json LightJson(const Scene& scene, const Light& light, const std::string& name) {
  static const char* const kTypes[] = {"distant", "point", "spot"};
  const auto type = static_cast<int32_t>(light.type);
  Json json{{"kind", "light"}, {"name", name}, {"parent", ParentJson(light)},
            {"type", type >= 0 && type <= 2 ? Json(kTypes[type]) : Json(type)},
            {"channels", light.motion.count()}};
  // Which of the eight lights it is, counting the shining ones.
  Json slot = nullptr;
  for (std::size_t i = 0; i < scene.shiningLights.size(); ++i) {
    if (scene.shiningLights[i] == &light) slot = i;
  }
  json["glLight"] = slot;
  json["color"] = Json::array({light.color[0], light.color[1], light.color[2], light.color[3]});
  json["intensity"] = ScalarJson(light.intensity);
  if (light.coneAngle) json["coneAngle"] = ScalarJson(*light.coneAngle);
  if (light.flareIntensity) {
    json["flare"] = {{"texture", light.flareTexture ? light.flareTexture->path : ""},
                     {"intensity", ScalarJson(*light.flareIntensity)},
                     {"nominalDistance", ScalarJson(light.flareNominalDistance)},
                     {"dissolve", ScalarJson(light.flareDissolve)},
                     {"lensFlareFade", light.lensFlareFade}};
  }
  return json;
}

Json FrameJson(const Scene& scene, float t) {
  Json frame{{"time", t}};
  // The passes a frame makes, with the scene's own values.
  ScenePose pose(scene);
  pose.Evaluate(t, SyncValues{});
  pose.Compose(Matrix4{});
  Json cameras = Json::array();
  for (const Camera& camera : scene.cameras) {
    Matrix4 view;
    pose.ApplyView(view, camera);
    cameras.push_back({{"fieldOfView", CameraFieldOfView(camera, t)},
                       {"farPlane", scene.fogMaxDistance.ValueAt(t)},
                       {"blurFade", CameraBlurFade(camera, t)},
                       {"view", MatrixJson(view)}});
  }
  frame["cameras"] = cameras;
  Json objects = Json::array();
  for (const SceneObject& object : scene.objects) {
    objects.push_back({{"world", MatrixJson(pose.Placed(object))},
                       {"dissolve", object.dissolve ? Json(pose.Dissolve(object)) : Json(nullptr)}});
  }
  frame["objects"] = objects;
  Json lights = Json::array();
  for (const Light& light : scene.lights) {
    const Matrix4& world = pose.Placed(light);
    const float intensity = light.intensity.ValueAt(t);
    lights.push_back({{"world", MatrixJson(world)},
                      {"intensity", intensity},
                      {"color", Json::array({light.color[0] * intensity, light.color[1] * intensity,
                                             light.color[2] * intensity, light.color[3]})}});
  }
  frame["lights"] = lights;
  return frame;
}

}  // namespace

void WriteDemoSummary(std::ostream& out, const Demo& demo) {
  const int entries = demo.script.entries.count();
  out << "Script: " << entries << (entries == 1 ? " entry" : " entries") << "\n";
  int number = 1;
  for (const ScriptEntry& entry : demo.script.entries) {
    out << "  " << number++ << ". " << FormatTime(entry.musicStart) << "  " << entry.scene->name << "  camera "
        << IndexIn(entry.scene->cameras, entry.camera) + 1 << "  scene time " << Seconds(entry.sceneStart)
        << " to " << Seconds(entry.sceneEnd) << "\n";
  }
  out << "Scenes: " << demo.scenes.scenes().count() << "\n";
  for (const Scene& scene : demo.scenes.scenes()) {
    out << "  " << scene.name << ": " << Plural(scene.objects.count(), "object") << ", "
        << Plural(scene.lights.count(), "light") << " (" << scene.shiningLightCount << " lit, " << scene.flareCount
        << " with flares), " << Plural(scene.cameras.count(), "camera") << ", frames " << scene.firstFrame << " to "
        << scene.lastFrame << " at " << scene.framesPerSecond << " fps\n";
  }
  out << "Meshes: " << demo.meshes.meshes().count() << "\n";
  for (const Mesh& mesh : demo.meshes.meshes()) {
    out << "  " << mesh.name() << ": " << mesh.vertexCount() << (mesh.vertexCount() == 1 ? " vertex" : " vertices") << ", "
        << Plural(mesh.polygonCount(), "polygon");
    if (mesh.targetCount() > 0) out << ", " << Plural(mesh.targetCount(), "morph target");
    if (mesh.boneCount() > 0) out << ", " << Plural(mesh.boneCount(), "bone");
    out << "\n";
  }
  out << "Textures: " << demo.textures.textures().count() << "\n";
  for (const Texture& texture : demo.textures.textures()) {
    out << "  " << texture.path << ": " << texture.width << " x " << texture.height << ", "
        << Plural(texture.channels, "channel") << "\n";
  }
}

DumpJson DumpDemo(Demo& demo, const std::vector<float>& times) {
  const DemoConfig& c = demo.config;
  Json json;
  json["configuration"] = {{"displayMode", c.displayMode.str()}, {"width", c.width}, {"height", c.height},
                           {"depth", c.depth}, {"aspectWidth", c.aspectWidth}, {"aspectHeight", c.aspectHeight},
                           {"musicFile", c.musicFile.str()}, {"rootDir", c.rootDir.str()},
                           {"textureDir", c.textureDir.str()}, {"sceneDir", c.sceneDir.str()},
                           {"scriptName", c.scriptName.str()}};
  json["settings"] = {{"path", demo.settingsPath}, {"width", demo.display.width}, {"height", demo.display.height},
                      {"depth", demo.display.depth}, {"fullscreen", demo.display.FullscreenMode}};
  json["aspect"] = demo.aspect;
  Json entries = Json::array();
  for (const ScriptEntry& entry : demo.script.entries) {
    entries.push_back({{"scene", entry.scene->name}, {"camera", IndexIn(entry.scene->cameras, entry.camera) + 1},
                       {"musicStart", entry.musicStart}, {"sceneStart", entry.sceneStart},
                       {"sceneEnd", entry.sceneEnd}});
  }
  json["entries"] = entries;
  Json scenes = Json::array();
  for (const Scene& scene : demo.scenes.scenes()) {
    Json s{{"name", scene.name}, {"firstFrame", scene.firstFrame}, {"lastFrame", scene.lastFrame},
           {"framesPerSecond", scene.framesPerSecond}, {"sceneStart", scene.sceneStart},
           {"sceneEnd", scene.sceneEnd}, {"frameDuration", scene.frameDuration}, {"fogType", scene.fogType},
           {"fogColor", ColorJson(scene.fogColor)}, {"fogMinDistance", ScalarJson(scene.fogMinDistance)},
           {"fogMaxDistance", ScalarJson(scene.fogMaxDistance)}, {"ambientColor", ColorJson(scene.ambientColor)},
           {"ambientIntensity", ScalarJson(scene.ambientIntensity)},
           {"backdropColor", ColorJson(scene.backdropColor)}, {"nearClip", scene.nearClip},
           {"bgImage", scene.bgImage ? Json(scene.bgImage->path) : Json(nullptr)},
           {"fgImage", scene.fgImage ? Json(scene.fgImage->path) : Json(nullptr)},
           {"fgDissolve", scene.fgDissolve ? ScalarJson(*scene.fgDissolve) : Json(nullptr)},
           {"glLightCount", scene.shiningLightCount}, {"flareCount", scene.flareCount}};
    const std::vector<std::string> names = ItemNames(scene);
    Json objects = Json::array();
    for (const SceneObject& object : scene.objects) objects.push_back(ObjectJson(object, names[object.itemIndex]));
    s["objects"] = objects;
    Json lights = Json::array();
    for (const Light& light : scene.lights) lights.push_back(LightJson(scene, light, names[light.itemIndex]));
    s["lights"] = lights;
    Json cameras = Json::array();
    for (const Camera& camera : scene.cameras) {
      Json cam{{"kind", "camera"}, {"name", names[camera.itemIndex]}, {"parent", ParentJson(camera)}, {"channels", camera.motion.count()},
               {"zoomFactor", ScalarJson(camera.zoomFactor)}};
      if (camera.blurLength) cam["blurLength"] = ScalarJson(*camera.blurLength);
      if (camera.focalDistance) cam["focalDistance"] = ScalarJson(*camera.focalDistance);
      cameras.push_back(cam);
    }
    s["cameras"] = cameras;
    Json frames = Json::array();
    for (float t : times) frames.push_back(FrameJson(scene, t));
    s["frames"] = frames;
    scenes.push_back(s);
  }
  json["scenes"] = scenes;
  Json meshes = Json::array();
  for (const Mesh& mesh : demo.meshes.meshes()) {
    meshes.push_back({{"name", mesh.name()}, {"vertices", mesh.vertexCount()}, {"polygons", mesh.polygonCount()},
                      {"morphTargets", mesh.targetCount()}, {"bones", mesh.boneCount()}, {"flags", mesh.flags()}});
  }
  json["meshes"] = meshes;
  Json textures = Json::array();
  for (const Texture& texture : demo.textures.textures()) {
    textures.push_back({{"path", texture.path}, {"width", texture.width}, {"height", texture.height},
                        {"channels", texture.channels}});
  }
  json["textures"] = textures;
  return json;
}

}  // namespace stagwerk
