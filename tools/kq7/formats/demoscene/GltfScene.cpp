#include "kq7/formats/demoscene/GltfConverter.h"

// The glTF scene conversion: one demo scene per animation, its objects.

namespace stagwerk::kq7::gltf {

std::string OneWord(const std::string& name, const std::string& fallback) {
  std::string out;
  for (char c : name) out += IsTokenChar(static_cast<unsigned char>(c)) && c != '"' && c != '/' ? c : '_';
  return out.empty() ? fallback : out;
}

GltfScenes Converter::Convert() {
  ReadNodes();
  ReadAnimations();
  GltfScenes out;
  out.fps = options_.fps ? *options_.fps : DetectRate();
  fps_ = out.fps;
  ReadSkins();
  if (options_.animation) {
    // One animation, as the scene named name; skins bake its frames only.
    if (*options_.animation >= animations_.size()) Fail("has no animation " + std::to_string(*options_.animation + 1));
    Animation chosen = std::move(animations_[*options_.animation]);  // its samplers stay where channels point
    animations_.clear();
    animations_.push_back(std::move(chosen));
  }
  NameMeshes(out);
  BakeSkins(out);
  if (animations_.empty()) {
    out.scenes.emplace_back(options_.name, Scene(nullptr));
  } else {
    std::set<std::string> used;
    for (std::size_t a = 0; a < animations_.size(); ++a) {
      std::string name = options_.name;
      if (animations_.size() > 1) {
        name += "_" + OneWord(animations_[a].name, std::to_string(a + 1));
        for (int n = 2; used.count(name) != 0; ++n) name += "_" + std::to_string(n);
      }
      used.insert(name);
      out.scenes.emplace_back(name, Scene(&animations_[a]));
    }
  }
  for (const std::string& w : once_) warnings_.push_back(w);
  return out;
}

void Converter::Warn(const std::string& text) {
  const std::string line = file_.path() + ": " + text;
  if (std::find(once_.begin(), once_.end(), line) == once_.end()) once_.push_back(line);
}

std::string Converter::NodeLabel(int n) const {
  return "node " + std::to_string(n) + (nodes_[static_cast<std::size_t>(n)].name.empty()
                                            ? std::string()
                                            : " (" + nodes_[static_cast<std::size_t>(n)].name + ")");
}

std::vector<double> Converter::Numbers(const json& j, std::size_t n, const std::string& what) const {
  if (!j.is_array() || j.size() != n) Fail(what + " must be " + std::to_string(n) + " numbers");
  std::vector<double> out;
  for (const json& v : j) {
    if (!v.is_number()) Fail(what + " must be numbers");
    out.push_back(v.get<double>());
  }
  return out;
}

void Converter::NameMeshes(GltfScenes& out) {
  const json& meshes = Get(json_, "meshes");
  std::set<std::string> used;
  for (int n : order_) {
    const int m = nodes_[static_cast<std::size_t>(n)].mesh;
    const std::pair<int, int> key{m, nodes_[static_cast<std::size_t>(n)].skin};
    if (m < 0 || meshObjects_.count(key) != 0) continue;
    if (!meshes.is_array() || static_cast<std::size_t>(m) >= meshes.size()) Fail(NodeLabel(n) + " names a mesh that does not exist");
    const json& name = Get(meshes[static_cast<std::size_t>(m)], "name");
    std::string base = options_.name + "_" + OneWord(name.is_string() ? name.get<std::string>() : "", "mesh" + std::to_string(m));
    std::string unique = base;
    for (int k = 2; used.count(unique) != 0; ++k) unique = base + "_" + std::to_string(k);
    used.insert(unique);
    meshObjects_[key] = "Objects/" + unique + ".lwo";
    int bake = -1;
    if (key.second >= 0) {
      bake = static_cast<int>(skinIndex_.at(key));
      skins_[static_cast<std::size_t>(bake)].objectName = meshObjects_[key];
    }
    out.meshes.push_back({meshObjects_[key], static_cast<std::size_t>(m), bake});
  }
}

DemoScene Converter::Scene(const Animation* anim) {
  DemoScene scene;
  const double end = anim != nullptr ? anim->end : kStillSeconds;
  if (end * fps_ > kMaxFrames) {
    Fail("animation " + anim->name + " lasts " + std::to_string(end) + " s, more frames than a scene can hold");
  }
  const std::vector<double> frames = FrameTimes(end);
  scene.firstFrame = 0;
  scene.framesPerSecond = static_cast<uint32_t>(std::lround(fps_));
  scene.lastFrame = static_cast<uint32_t>(frames.size() - 1);
  scene.ambientColor = std::array<float, 3>{1, 1, 1};
  scene.ambientIntensity = Scalar::Of(0.1f);

  std::map<int, uint16_t> itemOf;  // node -> the object its children hang from
  for (int n : order_) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    std::optional<ItemLink> parent;
    if (node.parent != -1) parent = ItemLink{ItemRef::kObject, itemOf.at(node.parent), 0};
    const bool split = !UniformScale(n, anim);
    DemoObject object;
    object.nullName = OneWord(node.name, "node" + std::to_string(n));
    object.label = object.nullName;
    object.parent = parent;
    if (split) {
      // The player scales along the parent's axes; glTF along the node's
      // own. A null turns and places, a child of it scales.
      DemoObject turn = object;
      turn.nullName += "_turn";
      turn.motion = NodeMotion(n, anim, frames, false, true);
      scene.objects.push_back(std::move(turn));
      object.parent = ItemLink{ItemRef::kObject, static_cast<uint16_t>(scene.objects.size() - 1), 0};
      object.motion = NodeMotion(n, anim, frames, true, false);
    } else {
      object.motion = NodeMotion(n, anim, frames, true, true);
    }
    if (node.mesh >= 0 && node.skin >= 0) {
      // The joints place a skinned mesh, not its node; the node still places its children.
      DemoObject skinned = SkinnedObject(n, anim);
      skinned.unaffectedByFog = LuminousMesh(node.mesh);
      if (node.children.empty()) {
        object = std::move(skinned);
      } else {
        scene.objects.push_back(std::move(skinned));
      }
    } else if (node.mesh >= 0) {
      object.mesh = meshObjects_.at({node.mesh, -1});
      // The player's unlit objects stand for glowing ones.
      object.unaffectedByFog = LuminousMesh(node.mesh);
      AddMorph(object, n, anim);
    }
    if (scene.objects.size() >= 0xFFFF) Fail("more nodes than a scene holds");
    itemOf[n] = static_cast<uint16_t>(scene.objects.size());
    scene.objects.push_back(std::move(object));
    if (node.camera >= 0) AddCamera(scene, n, anim, frames, itemOf[n]);
    if (node.light >= 0) AddLight(scene, n, itemOf[n], anim);
  }
  if (scene.cameras.empty()) AddFramingCamera(scene, anim);
  if (!scene.fogMax) scene.fogMax = Scalar::Of(Narrow(std::max(1000.0, 10 * SceneSize(anim))));
  return scene;
}

}  // namespace stagwerk::kq7::gltf

namespace stagwerk::kq7 {

GltfScenes ConvertGltfScenes(const GltfFile& file, const GltfSceneOptions& options,
                             std::vector<std::string>& warnings) {
  return gltf::Converter(file, options, warnings).Convert();
}

}  // namespace stagwerk::kq7
