#include "kq7/SceneListing.h"

#include <algorithm>
#include <cstdio>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/SceneEdits.h"

namespace stagwerk::kq7 {

using nlohmann::json;

namespace {

const json& Get(const json& j, const char* name) { return GltfFile::Member(j, name); }

std::string NameOf(const json& j, const std::string& fallback) {
  return Get(j, "name").is_string() && !Get(j, "name").get<std::string>().empty() ? Get(j, "name").get<std::string>()
                                                                                   : fallback;
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", s);
  return text;
}

std::string Count(std::size_t n, const std::string& one) { return std::to_string(n) + " " + one + (n == 1 ? "" : "s"); }

// The nodes whose member key is index, as "node N (name)".
std::string NodesWith(const json& nodes, const char* key, std::size_t index, const char* extension = nullptr) {
  std::string text;
  for (std::size_t n = 0; nodes.is_array() && n < nodes.size(); ++n) {
    const json& holder = extension ? Get(Get(Get(nodes[n], "extensions"), extension), "light") : Get(nodes[n], key);
    if (!holder.is_number_unsigned() || holder.get<std::size_t>() != index) continue;
    text += (text.empty() ? "" : ", ") + std::string("node ") + std::to_string(n) + " (" + NameOf(nodes[n], "unnamed") + ")";
  }
  return text.empty() ? "no node" : text;
}

double Duration(const GltfFile& file, const json& animation) {
  double end = 0;
  for (const json& sampler : Get(animation, "samplers")) {
    const std::vector<float> times = file.Floats(Get(sampler, "input"), 1);
    if (!times.empty()) end = std::max(end, static_cast<double>(*std::max_element(times.begin(), times.end())));
  }
  return end;
}

std::string OneWord(const std::string& name) {
  std::string word;
  for (char c : name) word += c > 0x20 && c < 0x7F && c != '"' && c != '/' ? c : '_';
  return word;
}

}  // namespace

void ListGltf(const GltfFile& file, std::ostream& out) {
  const json& doc = file.document();
  const json& nodes = Get(doc, "nodes");
  out << file.path() << " (glTF 2.0)\n";
  const json& animations = Get(doc, "animations");
  out << "animations: " << (animations.is_array() ? animations.size() : 0) << "\n";
  for (std::size_t a = 0; animations.is_array() && a < animations.size(); ++a) {
    out << "  " << a + 1 << " " << NameOf(animations[a], "(unnamed)") << ": " << Seconds(Duration(file, animations[a]))
        << ", " << Count(Get(animations[a], "channels").size(), "channel") << "\n";
  }
  const json& cameras = Get(doc, "cameras");
  out << "cameras: " << (cameras.is_array() ? cameras.size() : 0) << "\n";
  for (std::size_t c = 0; cameras.is_array() && c < cameras.size(); ++c) {
    const bool ortho = Get(cameras[c], "perspective").is_null();
    out << "  " << OneWord(NameOf(cameras[c], "Camera")) << ": " << (ortho ? "orthographic" : "perspective") << ", on "
        << NodesWith(nodes, "camera", c) << "\n";
  }
  const json& lights = Get(Get(Get(doc, "extensions"), "KHR_lights_punctual"), "lights");
  out << "lights: " << (lights.is_array() ? lights.size() : 0) << "\n";
  for (std::size_t l = 0; lights.is_array() && l < lights.size(); ++l) {
    const json& type = Get(lights[l], "type");
    out << "  " << NameOf(lights[l], "(unnamed)") << ": " << (type.is_string() ? type.get<std::string>() : "?")
        << ", on " << NodesWith(nodes, nullptr, l, "KHR_lights_punctual") << "\n";
  }
  const json& skins = Get(doc, "skins");
  out << "skins: " << (skins.is_array() ? skins.size() : 0) << "\n";
  for (std::size_t s = 0; skins.is_array() && s < skins.size(); ++s) {
    out << "  " << NameOf(skins[s], "(unnamed)") << ": " << Count(Get(skins[s], "joints").size(), "joint")
        << ", bending " << NodesWith(nodes, "skin", s) << "\n";
  }
  const json& meshes = Get(doc, "meshes");
  out << "meshes: " << (meshes.is_array() ? meshes.size() : 0) << "\n";
  for (std::size_t m = 0; meshes.is_array() && m < meshes.size(); ++m) {
    std::size_t targets = 0;
    for (const json& p : Get(meshes[m], "primitives")) targets = std::max(targets, Get(p, "targets").size());
    out << "  " << NameOf(meshes[m], "(unnamed)") << ": " << Count(Get(meshes[m], "primitives").size(), "primitive")
        << ", " << Count(targets, "morph target") << ", on " << NodesWith(nodes, "mesh", m) << "\n";
  }
}

void ListLightWave(const LightWaveScene& source, const std::string& in, SourceFinder& finder, std::ostream& out) {
  const DemoScene& scene = source.scene;
  out << in << " (LightWave scene, version " << source.version << "): frames " << scene.firstFrame << " to "
      << scene.lastFrame << " at " << scene.framesPerSecond << " per second\n";
  out << "objects: " << scene.objects.size() << "\n";
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    const DemoObject& o = scene.objects[i];
    out << "  " << i + 1 << " ";
    if (o.mesh.empty()) {
      out << "null " << o.nullName << "\n";
      continue;
    }
    const std::optional<std::filesystem::path> found = finder.Find(o.mesh, SourceKind::Object);
    out << o.mesh << ": " << (found ? "found at " + found->string() : std::string("not found")) << "\n";
  }
  static const char* const kLightTypes[] = {"distant", "point", "spot"};
  out << "lights: " << scene.lights.size() << "\n";
  for (std::size_t i = 0; i < scene.lights.size(); ++i) {
    const DemoLight& l = scene.lights[i];
    out << "  " << i + 1 << " " << l.name << ": " << kLightTypes[l.type >= 0 && l.type <= 2 ? l.type : 1] << "\n";
  }
  out << "cameras: " << scene.cameras.size() << "\n";
  for (std::size_t i = 0; i < scene.cameras.size(); ++i) out << "  " << i + 1 << " " << scene.cameras[i].name << "\n";
}

std::size_t ChooseAnimation(const GltfFile& file, const std::string& name) {
  const json& animations = Get(file.document(), "animations");
  const std::size_t count = animations.is_array() ? animations.size() : 0;
  std::string names;
  for (std::size_t a = 0; a < count; ++a) {
    const std::string own = NameOf(animations[a], "");
    if (!own.empty() && (own == name || OneWord(own) == name)) return a;
    names += (a == 0 ? "" : ", ") + (own.empty() ? "(unnamed)" : own);
  }
  for (std::size_t a = 0; a < count; ++a) {
    if (name == std::to_string(a + 1)) return a;
  }
  throw UsageError("kq7 scene: " + file.path() + " has no animation \"" + name + "\"; " +
                   (count == 0 ? std::string("it has none")
                               : "its animations: " + names + " (or their numbers, 1 to " + std::to_string(count) + ")"));
}

void ChooseCamera(DemoScene& scene, const std::string& name, const std::string& in) {
  if (const std::optional<std::size_t> index = FindCamera(scene, name)) {
    MoveCameraFirst(scene, *index);
    return;
  }
  std::string names;
  for (const DemoCamera& c : scene.cameras) names += (names.empty() ? "" : ", ") + c.name;
  throw UsageError("kq7 scene: " + in + " has no camera \"" + name + "\"; its cameras: " + names);
}

}  // namespace stagwerk::kq7
