#include <stdexcept>

#include "kq7/formats/demoscene/GltfConverter.h"

// glTF skins read and checked: joints, inverse bind matrices, and per vertex
// the joints and weights of every JOINTS_n / WEIGHTS_n set.

namespace stagwerk::kq7::gltf {

namespace {

// Why a skin cannot be followed; the mesh then stays in its bind pose.
struct SkinError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr double kWeightSumTolerance = 0.01;
constexpr int kMaxInfluenceSets = 8;

Matrix4d Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

bool AllFinite(const std::vector<float>& values) {
  return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

}  // namespace

void Converter::ReadSkins() {
  std::set<std::pair<int, int>> broken;
  for (int n : order_) {
    Node& node = nodes_[static_cast<std::size_t>(n)];
    if (node.skin < 0) continue;
    const std::pair<int, int> key{node.mesh, node.skin};
    if (node.mesh < 0 || broken.count(key) != 0) {
      if (node.mesh < 0) Warn(NodeLabel(n) + ": a skin without a mesh is dropped");
      node.skin = -1;
      continue;
    }
    if (skinIndex_.count(key) != 0) continue;
    SkinnedMesh s;
    s.node = n, s.mesh = node.mesh, s.skin = node.skin;
    try {
      ReadSkin(s);
    } catch (const std::exception& e) {
      std::string why = e.what();
      if (why.rfind(file_.path() + ": ", 0) == 0) why.erase(0, file_.path().size() + 2);
      Warn(NodeLabel(n) + ": skin " + std::to_string(node.skin) + " cannot be followed (" + why +
           "); its mesh stays in its bind pose");
      broken.insert(key);
      node.skin = -1;
      continue;
    }
    skinIndex_[key] = skins_.size();
    skins_.push_back(std::move(s));
  }
}

void Converter::ReadSkin(SkinnedMesh& s) const {
  const json& skins = Get(json_, "skins");
  if (!skins.is_array() || static_cast<std::size_t>(s.skin) >= skins.size()) throw SkinError("there is no such skin");
  const json& skin = skins[static_cast<std::size_t>(s.skin)];
  for (const json& j : Get(skin, "joints")) {
    const int joint = Index(j);
    if (joint < 0 || static_cast<std::size_t>(joint) >= nodes_.size()) throw SkinError("a joint that is not a node");
    s.joints.push_back(joint);
  }
  if (s.joints.empty()) throw SkinError("it has no joints");
  const json& inverse = Get(skin, "inverseBindMatrices");
  if (inverse.is_null()) {
    s.inverseBind.assign(s.joints.size(), Identity());
  } else {
    const std::vector<float> m = file_.Floats(inverse, 16);
    if (m.size() != 16 * s.joints.size() || !AllFinite(m)) {
      throw SkinError("inverseBindMatrices holds " + std::to_string(m.size() / 16) + " matrices for its " +
                      std::to_string(s.joints.size()) + " joints");
    }
    for (std::size_t j = 0; j < s.joints.size(); ++j) {
      Matrix4d& out = s.inverseBind.emplace_back();
      std::copy(m.begin() + static_cast<std::ptrdiff_t>(16 * j), m.begin() + static_cast<std::ptrdiff_t>(16 * j + 16), out.begin());
    }
  }
  const json& meshes = Get(json_, "meshes");
  if (!meshes.is_array() || static_cast<std::size_t>(s.mesh) >= meshes.size()) throw SkinError("its mesh does not exist");
  s.targets.resize(TargetCount(s.mesh));
  const json& primitives = Get(meshes[static_cast<std::size_t>(s.mesh)], "primitives");
  if (!primitives.is_array() || primitives.empty()) throw SkinError("its mesh has no primitives");
  for (const json& p : primitives) ReadSkinPrimitive(s, p);
  if (s.bind.empty()) throw SkinError("its mesh has no vertices");
  for (std::size_t v = 0; v < s.influences.size(); ++v) {
    double sum = 0;
    for (const Influence& i : s.influences[v]) sum += i.weight;
    if (!(std::abs(sum - 1) <= kWeightSumTolerance)) {
      throw SkinError("the weights of vertex " + std::to_string(v) + " add up to " + std::to_string(sum) + ", not 1");
    }
    for (Influence& i : s.influences[v]) i.weight /= sum;
  }
}

void Converter::ReadSkinPrimitive(SkinnedMesh& s, const json& primitive) const {
  const json& attributes = Get(primitive, "attributes");
  if (Get(attributes, "POSITION").is_null()) throw SkinError("a primitive has no POSITION");
  const std::vector<float> positions = file_.Floats(Get(attributes, "POSITION"), 3);
  if (!AllFinite(positions)) throw SkinError("a position that is not a finite number");
  const std::size_t count = positions.size() / 3, first = s.bind.size();
  for (std::size_t v = 0; v < count; ++v) s.bind.push_back({positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]});
  s.influences.resize(first + count);
  int sets = 0;
  for (; sets < kMaxInfluenceSets; ++sets) {
    const json& joints = Get(attributes, ("JOINTS_" + std::to_string(sets)).c_str());
    const json& weights = Get(attributes, ("WEIGHTS_" + std::to_string(sets)).c_str());
    if (joints.is_null() && weights.is_null()) break;
    if (joints.is_null() || weights.is_null()) {
      throw SkinError("JOINTS_" + std::to_string(sets) + " and WEIGHTS_" + std::to_string(sets) + " come in pairs");
    }
    const std::vector<float> j = file_.Floats(joints, 4), w = file_.Floats(weights, 4);
    if (j.size() != 4 * count || w.size() != 4 * count) {
      throw SkinError("JOINTS_" + std::to_string(sets) + " or WEIGHTS_" + std::to_string(sets) + " does not have one element per vertex");
    }
    for (std::size_t v = 0; v < count; ++v) {
      for (std::size_t c = 0; c < 4; ++c) {
        const float joint = j[4 * v + c], weight = w[4 * v + c];
        if (!(joint >= 0 && joint < static_cast<float>(s.joints.size()) && joint == std::floor(joint))) {
          throw SkinError("vertex " + std::to_string(first + v) + " names joint " + std::to_string(joint) + " of the " +
                          std::to_string(s.joints.size()) + " its skin has");
        }
        if (!std::isfinite(weight) || weight < 0) throw SkinError("a weight that is negative or not a number");
        if (weight > 0) s.influences[first + v].push_back({static_cast<std::size_t>(joint), weight});
      }
    }
  }
  if (sets == 0) throw SkinError("a primitive has no JOINTS_0 and WEIGHTS_0");
  const json& targets = Get(primitive, "targets");
  for (std::size_t t = 0; t < s.targets.size(); ++t) {
    const json& moves = targets.is_array() && t < targets.size() ? Get(targets[t], "POSITION") : GltfFile::Member(json(), "");
    std::vector<float> d = moves.is_null() ? std::vector<float>(3 * count, 0.0f) : file_.Floats(moves, 3);
    if (d.size() != 3 * count || !AllFinite(d)) throw SkinError("morph target " + std::to_string(t) + " does not fit its primitive");
    for (std::size_t v = 0; v < count; ++v) s.targets[t].push_back({d[3 * v], d[3 * v + 1], d[3 * v + 2]});
  }
}

std::vector<double> Converter::MorphWeightsAt(int n, const Animation* anim, double t) const {
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  const std::size_t targets = TargetCount(node.mesh);
  std::vector<double> weights(node.weights.begin(), node.weights.end());
  if (weights.empty() && targets > 0) {
    for (const json& w : Get(Get(json_, "meshes")[static_cast<std::size_t>(node.mesh)], "weights")) {
      weights.push_back(w.is_number() ? w.get<double>() : 0.0);
    }
  }
  weights.resize(targets, 0.0);
  const NodeChannels* c = ChannelsOf(n, anim);
  if (c != nullptr && c->weights != nullptr) {
    const std::vector<double> v = c->weights->At(t);
    std::copy(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(v.size(), targets)), weights.begin());
  }
  return weights;
}

}  // namespace stagwerk::kq7::gltf
