#include "kq7/formats/demoscene/GltfScene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "kq7/formats/ToolError.h"
#include "anim/SceneReader.h"
#include "anim/ItemRef.h"
#include "kq7/formats/demoscene/Rotation.h"

namespace stagwerk::kq7 {

namespace {

using nlohmann::json;
using Vec3 = std::array<double, 3>;
constexpr double kPi = 3.14159265358979323846;
// What the fitted rotations may stray from glTF's at a frame.
constexpr double kToleranceDegrees = 0.01;
constexpr double kStillSeconds = 5;
constexpr double kMaxFrames = 1e6;

std::string OneWord(const std::string& name, const std::string& fallback) {
  std::string out;
  for (char c : name) out += IsTokenChar(static_cast<unsigned char>(c)) && c != '"' && c != '/' ? c : '_';
  return out.empty() ? fallback : out;
}

enum class Interpolation { Step, Linear, Cubic };

// An animation sampler: key times and, per key, width numbers (three times
// that for CUBICSPLINE: in-tangent, value, out-tangent).
struct Sampler {
  std::vector<float> times;
  std::vector<float> values;
  std::size_t width = 0;
  Interpolation interpolation = Interpolation::Linear;

  const float* Value(std::size_t key) const {
    return &values[(interpolation == Interpolation::Cubic ? 3 * key + 1 : key) * width];
  }
  const float* InTangent(std::size_t key) const { return &values[3 * key * width]; }
  const float* OutTangent(std::size_t key) const { return &values[(3 * key + 2) * width]; }

  // glTF's rule at time t; rotations (width 4) slerp and normalise.
  std::vector<double> At(double t) const {
    std::vector<double> out(width);
    const std::size_t n = times.size();
    std::size_t k = 0;
    if (t <= times.front()) {
      std::copy(Value(0), Value(0) + width, out.begin());
      return out;
    }
    if (t >= times.back()) {
      std::copy(Value(n - 1), Value(n - 1) + width, out.begin());
      return out;
    }
    while (k + 1 < n && t >= times[k + 1]) ++k;
    const double t0 = times[k], t1 = times[k + 1], dt = t1 - t0, u = (t - t0) / dt;
    if (interpolation == Interpolation::Step) {
      std::copy(Value(k), Value(k) + width, out.begin());
    } else if (interpolation == Interpolation::Linear && width == 4) {
      const float* a = Value(k);
      const float* b = Value(k + 1);
      const Quaternion q = Slerp({a[0], a[1], a[2], a[3]}, {b[0], b[1], b[2], b[3]}, u);
      out = {q.x, q.y, q.z, q.w};
    } else if (interpolation == Interpolation::Linear) {
      for (std::size_t c = 0; c < width; ++c) out[c] = Value(k)[c] + (Value(k + 1)[c] - Value(k)[c]) * u;
    } else {
      const double u2 = u * u, u3 = u2 * u;
      for (std::size_t c = 0; c < width; ++c) {
        out[c] = (2 * u3 - 3 * u2 + 1) * Value(k)[c] + (u3 - 2 * u2 + u) * dt * OutTangent(k)[c] +
                 (-2 * u3 + 3 * u2) * Value(k + 1)[c] + (u3 - u2) * dt * InTangent(k + 1)[c];
      }
      if (width == 4) {
        const Quaternion q = Normalized({out[0], out[1], out[2], out[3]});
        out = {q.x, q.y, q.z, q.w};
      }
    }
    return out;
  }
};

struct Node {
  std::string name;
  int parent = -1;
  std::vector<int> children;
  Vec3 translation{0, 0, 0};
  Quaternion rotation;
  Vec3 scale{1, 1, 1};
  int mesh = -1, camera = -1, light = -1;
  std::vector<float> weights;
};

// The samplers one animation points at one node.
struct NodeChannels {
  const Sampler* translation = nullptr;
  const Sampler* rotation = nullptr;
  const Sampler* scale = nullptr;
  const Sampler* weights = nullptr;
};

struct Animation {
  std::string name;
  std::vector<Sampler> samplers;
  std::map<int, NodeChannels> nodes;
  double end = 0;
};

// A local transform: translation, rotation, scale, in glTF's own space.
struct Local {
  Vec3 t;
  Quaternion r;
  Vec3 s;
};

using Matrix4d = std::array<double, 16>;  // column-major

Matrix4d Compose(const Local& l) {
  const Matrix3 r = RotationMatrix(l.r);
  Matrix4d m{};
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) {
      m[static_cast<std::size_t>(c * 4 + row)] = r[static_cast<std::size_t>(row * 3 + c)] * l.s[static_cast<std::size_t>(c)];
    }
  }
  m[12] = l.t[0], m[13] = l.t[1], m[14] = l.t[2], m[15] = 1;
  return m;
}

Matrix4d Multiply(const Matrix4d& a, const Matrix4d& b) {
  Matrix4d m{};
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[static_cast<std::size_t>(k * 4 + r)] * b[static_cast<std::size_t>(c * 4 + k)];
      m[static_cast<std::size_t>(c * 4 + r)] = sum;
    }
  }
  return m;
}

class Converter {
 public:
  Converter(const GltfFile& file, const GltfSceneOptions& options, std::vector<std::string>& warnings)
      : file_(file), options_(options), warnings_(warnings), json_(file.document()) {}

  GltfScenes Convert() {
    ReadNodes();
    ReadAnimations();
    GltfScenes out;
    out.fps = options_.fps ? *options_.fps : DetectRate();
    fps_ = out.fps;
    NameMeshes(out);
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

 private:
  const json& Get(const json& j, const char* name) const { return GltfFile::Member(j, name); }
  void Warn(const std::string& text) {
    const std::string line = file_.path() + ": " + text;
    if (std::find(once_.begin(), once_.end(), line) == once_.end()) once_.push_back(line);
  }
  [[noreturn]] void Fail(const std::string& text) const { throw InputError(file_.path() + ": " + text); }

  std::string NodeLabel(int n) const {
    return "node " + std::to_string(n) + (nodes_[static_cast<std::size_t>(n)].name.empty()
                                              ? std::string()
                                              : " (" + nodes_[static_cast<std::size_t>(n)].name + ")");
  }

  static int Index(const json& j) { return j.is_number_unsigned() ? j.get<int>() : -1; }

  std::vector<double> Numbers(const json& j, std::size_t n, const std::string& what) const {
    if (!j.is_array() || j.size() != n) Fail(what + " must be " + std::to_string(n) + " numbers");
    std::vector<double> out;
    for (const json& v : j) {
      if (!v.is_number()) Fail(what + " must be numbers");
      out.push_back(v.get<double>());
    }
    return out;
  }

  void ReadNodes() {
    const json& nodes = Get(json_, "nodes");
    if (!nodes.is_array() || nodes.empty()) Fail("holds no nodes");
    nodes_.resize(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const json& j = nodes[i];
      Node& n = nodes_[i];
      const std::string label = "node " + std::to_string(i);
      if (Get(j, "name").is_string()) n.name = Get(j, "name").get<std::string>();
      n.mesh = Index(Get(j, "mesh"));
      n.camera = Index(Get(j, "camera"));
      n.light = Index(Get(Get(Get(j, "extensions"), "KHR_lights_punctual"), "light"));
      if (!Get(j, "matrix").is_null()) {
        const std::vector<double> m = Numbers(Get(j, "matrix"), 16, label + ": matrix");
        Decompose(m, n, label);
      }
      if (!Get(j, "translation").is_null()) {
        const auto v = Numbers(Get(j, "translation"), 3, label + ": translation");
        n.translation = {v[0], v[1], v[2]};
      }
      if (!Get(j, "rotation").is_null()) {
        const auto v = Numbers(Get(j, "rotation"), 4, label + ": rotation");
        n.rotation = Normalized({v[0], v[1], v[2], v[3]});
      }
      if (!Get(j, "scale").is_null()) {
        const auto v = Numbers(Get(j, "scale"), 3, label + ": scale");
        n.scale = {v[0], v[1], v[2]};
      }
      const json& weights = Get(j, "weights");
      for (std::size_t w = 0; weights.is_array() && w < weights.size(); ++w) {
        n.weights.push_back(weights[w].is_number() ? weights[w].get<float>() : 0.0f);
      }
      for (const json& child : Get(j, "children")) {
        const int c = Index(child);
        if (c < 0 || static_cast<std::size_t>(c) >= nodes.size()) Fail(label + " has a child that does not exist");
        n.children.push_back(c);
      }
    }
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      for (int c : nodes_[i].children) {
        Node& child = nodes_[static_cast<std::size_t>(c)];
        if (child.parent != -1 || static_cast<std::size_t>(c) == i) Fail("node " + std::to_string(c) + " has two parents");
        child.parent = static_cast<int>(i);
      }
    }
    // The scene's roots, or every node without a parent.
    const json& scenes = Get(json_, "scenes");
    int scene = Index(Get(json_, "scene"));
    if (scene < 0 && scenes.is_array() && !scenes.empty()) scene = 0;
    if (scene >= 0 && scenes.is_array() && static_cast<std::size_t>(scene) < scenes.size()) {
      for (const json& r : Get(scenes[static_cast<std::size_t>(scene)], "nodes")) {
        const int root = Index(r);
        if (root < 0 || static_cast<std::size_t>(root) >= nodes_.size()) Fail("a scene names a node that does not exist");
        if (nodes_[static_cast<std::size_t>(root)].parent != -1) {
          Fail("the scene lists " + NodeLabel(root) + " as a root, but it is a child of node " +
               std::to_string(nodes_[static_cast<std::size_t>(root)].parent));
        }
        roots_.push_back(root);
      }
      if (scenes.size() > 1) Warn("the file holds " + std::to_string(scenes.size()) + " scenes; scene " +
                                  std::to_string(scene) + " is converted");
    } else {
      for (std::size_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].parent == -1) roots_.push_back(static_cast<int>(i));
      }
    }
    // Depth first, parents before children; a loop is never reached from a root.
    std::vector<int> stack(roots_.rbegin(), roots_.rend());
    std::vector<bool> seen(nodes_.size());
    while (!stack.empty()) {
      const int n = stack.back();
      stack.pop_back();
      if (seen[static_cast<std::size_t>(n)]) Fail("node " + std::to_string(n) + " is reached twice");
      seen[static_cast<std::size_t>(n)] = true;
      order_.push_back(n);
      const auto& children = nodes_[static_cast<std::size_t>(n)].children;
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }

  void Decompose(const std::vector<double>& m, Node& n, const std::string& label) {
    n.translation = {m[12], m[13], m[14]};
    Vec3 columns[3];
    for (int c = 0; c < 3; ++c) {
      const std::size_t b = static_cast<std::size_t>(c * 4);
      n.scale[static_cast<std::size_t>(c)] = std::sqrt(m[b] * m[b] + m[b + 1] * m[b + 1] + m[b + 2] * m[b + 2]);
      for (int r = 0; r < 3; ++r) {
        columns[c][static_cast<std::size_t>(r)] =
            n.scale[static_cast<std::size_t>(c)] > 0 ? m[b + static_cast<std::size_t>(r)] / n.scale[static_cast<std::size_t>(c)] : 0;
      }
    }
    const double det = columns[0][0] * (columns[1][1] * columns[2][2] - columns[2][1] * columns[1][2]) -
                       columns[1][0] * (columns[0][1] * columns[2][2] - columns[2][1] * columns[0][2]) +
                       columns[2][0] * (columns[0][1] * columns[1][2] - columns[1][1] * columns[0][2]);
    if (det < 0) {
      n.scale[0] = -n.scale[0];
      for (double& v : columns[0]) v = -v;
    }
    const double shear = std::abs(columns[0][0] * columns[1][0] + columns[0][1] * columns[1][1] + columns[0][2] * columns[1][2]) +
                         std::abs(columns[0][0] * columns[2][0] + columns[0][1] * columns[2][1] + columns[0][2] * columns[2][2]) +
                         std::abs(columns[1][0] * columns[2][0] + columns[1][1] * columns[2][1] + columns[1][2] * columns[2][2]);
    if (shear > 1e-4) Warn(label + ": its matrix shears; the shear is dropped");
    // Rotation matrix (rows r, columns c) to quaternion.
    const auto R = [&](int r, int c) { return columns[c][static_cast<std::size_t>(r)]; };
    const double trace = R(0, 0) + R(1, 1) + R(2, 2);
    Quaternion q;
    if (trace > 0) {
      const double s = std::sqrt(trace + 1) * 2;
      q = {(R(2, 1) - R(1, 2)) / s, (R(0, 2) - R(2, 0)) / s, (R(1, 0) - R(0, 1)) / s, s / 4};
    } else if (R(0, 0) > R(1, 1) && R(0, 0) > R(2, 2)) {
      const double s = std::sqrt(1 + R(0, 0) - R(1, 1) - R(2, 2)) * 2;
      q = {s / 4, (R(0, 1) + R(1, 0)) / s, (R(0, 2) + R(2, 0)) / s, (R(2, 1) - R(1, 2)) / s};
    } else if (R(1, 1) > R(2, 2)) {
      const double s = std::sqrt(1 + R(1, 1) - R(0, 0) - R(2, 2)) * 2;
      q = {(R(0, 1) + R(1, 0)) / s, s / 4, (R(1, 2) + R(2, 1)) / s, (R(0, 2) - R(2, 0)) / s};
    } else {
      const double s = std::sqrt(1 + R(2, 2) - R(0, 0) - R(1, 1)) * 2;
      q = {(R(0, 2) + R(2, 0)) / s, (R(1, 2) + R(2, 1)) / s, s / 4, (R(1, 0) - R(0, 1)) / s};
    }
    n.rotation = Normalized(q);
  }

  std::size_t TargetCount(int mesh) const {
    const json& meshes = Get(json_, "meshes");
    if (mesh < 0 || !meshes.is_array() || static_cast<std::size_t>(mesh) >= meshes.size()) return 0;
    std::size_t targets = 0;
    for (const json& p : Get(meshes[static_cast<std::size_t>(mesh)], "primitives")) {
      targets = std::max(targets, Get(p, "targets").is_array() ? Get(p, "targets").size() : std::size_t{0});
    }
    return targets;
  }

  void ReadAnimations() {
    const json& animations = Get(json_, "animations");
    for (std::size_t a = 0; animations.is_array() && a < animations.size(); ++a) {
      const json& j = animations[a];
      Animation& anim = animations_.emplace_back();
      const std::string label = "animation " + std::to_string(a);
      anim.name = Get(j, "name").is_string() ? Get(j, "name").get<std::string>() : "";
      const json& samplers = Get(j, "samplers");
      anim.samplers.resize(samplers.is_array() ? samplers.size() : 0);
      std::vector<std::size_t> widths(anim.samplers.size(), 0);
      // The width of a sampler follows from the path that uses it.
      for (const json& channel : Get(j, "channels")) {
        const int s = Index(Get(channel, "sampler"));
        const json& target = Get(channel, "target");
        const int node = Index(Get(target, "node"));
        const std::string path = Get(target, "path").is_string() ? Get(target, "path").get<std::string>() : "";
        if (s < 0 || static_cast<std::size_t>(s) >= anim.samplers.size()) Fail(label + " has a channel without a sampler");
        if (node < 0 || static_cast<std::size_t>(node) >= nodes_.size()) {
          Warn(label + ": a channel for no node is dropped");
          continue;
        }
        std::size_t width = 0;
        if (path == "translation" || path == "scale") width = 3;
        if (path == "rotation") width = 4;
        if (path == "weights") width = TargetCount(nodes_[static_cast<std::size_t>(node)].mesh);
        if (width == 0) {
          Warn(label + ": the " + path + " channel of " + NodeLabel(node) + " is dropped");
          continue;
        }
        ReadSampler(samplers[static_cast<std::size_t>(s)], width, anim.samplers[static_cast<std::size_t>(s)],
                    label + " sampler " + std::to_string(s));
        const Sampler* sampler = &anim.samplers[static_cast<std::size_t>(s)];
        NodeChannels& channels = anim.nodes[node];
        if (path == "translation") channels.translation = sampler;
        if (path == "rotation") channels.rotation = sampler;
        if (path == "scale") channels.scale = sampler;
        if (path == "weights") channels.weights = sampler;
        anim.end = std::max(anim.end, static_cast<double>(sampler->times.back()));
      }
    }
  }

  void ReadSampler(const json& j, std::size_t width, Sampler& s, const std::string& label) {
    if (!s.times.empty()) {
      if (s.width != width) Fail(label + " serves channels of different sizes");
      return;
    }
    const std::string interpolation = Get(j, "interpolation").is_string() ? Get(j, "interpolation").get<std::string>() : "LINEAR";
    if (interpolation == "STEP") s.interpolation = Interpolation::Step;
    else if (interpolation == "CUBICSPLINE") s.interpolation = Interpolation::Cubic;
    else if (interpolation == "LINEAR") s.interpolation = Interpolation::Linear;
    else Fail(label + ": interpolation " + interpolation + " is not glTF's");
    s.width = width;
    s.times = file_.Floats(Get(j, "input"), 1);
    if (s.times.empty()) Fail(label + " has no keys");
    for (std::size_t k = 1; k < s.times.size(); ++k) {
      if (!(s.times[k] > s.times[k - 1])) Fail(label + ": its key times do not rise");
    }
    if (s.times.front() < 0) Fail(label + ": a key before time 0");
    // Weights come as one scalar per target and key.
    const bool scalars = width != 3 && width != 4;
    s.values = file_.Floats(Get(j, "output"), scalars ? 1 : static_cast<int>(width));
    const std::size_t expected = s.times.size() * width * (s.interpolation == Interpolation::Cubic ? 3 : 1);
    if (s.values.size() != expected) {
      Fail(label + " has " + std::to_string(s.values.size()) + " output numbers for its " +
           std::to_string(s.times.size()) + " keys");
    }
  }

  double DetectRate() const {
    std::vector<float> times;
    for (const Animation& a : animations_) {
      for (const Sampler& s : a.samplers) times.insert(times.end(), s.times.begin(), s.times.end());
    }
    for (double rate : {30.0, 24.0, 25.0, 60.0, 50.0, 48.0, 120.0}) {
      bool fits = true;
      for (float t : times) fits &= std::abs(t * rate - std::round(t * rate)) < 1e-3;
      if (fits) return rate;
    }
    return 30;
  }

  void NameMeshes(GltfScenes& out) {
    const json& meshes = Get(json_, "meshes");
    std::set<std::string> used;
    for (int n : order_) {
      const int m = nodes_[static_cast<std::size_t>(n)].mesh;
      if (m < 0 || meshObjects_.count(m) != 0) continue;
      if (!meshes.is_array() || static_cast<std::size_t>(m) >= meshes.size()) Fail(NodeLabel(n) + " names a mesh that does not exist");
      const json& name = Get(meshes[static_cast<std::size_t>(m)], "name");
      std::string base = options_.name + "_" + OneWord(name.is_string() ? name.get<std::string>() : "", "mesh" + std::to_string(m));
      std::string unique = base;
      for (int k = 2; used.count(unique) != 0; ++k) unique = base + "_" + std::to_string(k);
      used.insert(unique);
      meshObjects_[m] = "Objects/" + unique + ".lwo";
      out.meshes.push_back({meshObjects_[m], static_cast<std::size_t>(m)});
    }
  }

  // --- one scene -----------------------------------------------------------

  Local LocalAt(int n, const Animation* anim, double t) const {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    Local l{node.translation, node.rotation, node.scale};
    if (anim == nullptr) return l;
    const auto it = anim->nodes.find(n);
    if (it == anim->nodes.end()) return l;
    if (it->second.translation) {
      const auto v = it->second.translation->At(t);
      l.t = {v[0], v[1], v[2]};
    }
    if (it->second.rotation) {
      const auto v = it->second.rotation->At(t);
      l.r = {v[0], v[1], v[2], v[3]};
    }
    if (it->second.scale) {
      const auto v = it->second.scale->At(t);
      l.s = {v[0], v[1], v[2]};
    }
    return l;
  }

  Matrix4d WorldAt(int n, const Animation* anim, double t) const {
    Matrix4d m = Compose(LocalAt(n, anim, t));
    for (int p = nodes_[static_cast<std::size_t>(n)].parent; p != -1; p = nodes_[static_cast<std::size_t>(p)].parent) {
      m = Multiply(Compose(LocalAt(p, anim, t)), m);
    }
    return m;
  }

  const NodeChannels* ChannelsOf(int n, const Animation* anim) const {
    if (anim == nullptr) return nullptr;
    const auto it = anim->nodes.find(n);
    return it == anim->nodes.end() ? nullptr : &it->second;
  }

  static bool Uniform(const float* s) {
    const double m = std::max({std::abs(s[0]), std::abs(s[1]), std::abs(s[2]), 1e-6f});
    return std::abs(s[0] - s[1]) <= 1e-6 * m && std::abs(s[1] - s[2]) <= 1e-6 * m;
  }

  bool UniformScale(int n, const Animation* anim) const {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const float base[3] = {static_cast<float>(node.scale[0]), static_cast<float>(node.scale[1]), static_cast<float>(node.scale[2])};
    const NodeChannels* c = ChannelsOf(n, anim);
    if (c == nullptr || c->scale == nullptr) return Uniform(base);
    for (std::size_t i = 0; i + 3 <= c->scale->values.size(); i += 3) {
      if (!Uniform(&c->scale->values[i])) return false;
    }
    return true;
  }

  bool UnitScale(int n, const Animation* anim) const {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const NodeChannels* c = ChannelsOf(n, anim);
    if (c != nullptr && c->scale != nullptr) {
      for (float v : c->scale->values) {
        if (std::abs(v - 1.0f) > 1e-6f && !(c->scale->interpolation == Interpolation::Cubic && v == 0.0f)) return false;
      }
      return true;
    }
    return node.scale == Vec3{1, 1, 1};
  }

  // One curve from one component of a sampler, with its shape and tangents
  // carried over; factor mirrors it.
  static Curve SamplerCurve(const Sampler& s, std::size_t component, double factor) {
    Curve curve;
    const std::size_t n = s.times.size();
    for (std::size_t k = 0; k < n; ++k) {
      CurveKey key;
      key.value = static_cast<float>(s.Value(k)[component] * factor);
      key.time = s.times[k];
      if (s.interpolation == Interpolation::Step) {
        key.shape = kShapeStepped;
      } else if (s.interpolation == Interpolation::Linear) {
        key.shape = kShapeLinear;
      } else {
        // The player scales a Hermite key's tangents by the spans around it;
        // these undo that, so each span gets glTF's (span length x tangent).
        key.shape = kShapeHermite;
        const double before = k > 0 ? s.times[k] - s.times[k - 1] : 0;
        const double after = k + 1 < n ? s.times[k + 1] - s.times[k] : 0;
        const double around = before + after;
        key.params[3] = static_cast<float>(s.InTangent(k)[component] * factor * (k + 1 < n ? around : before));
        key.params[4] = static_cast<float>(s.OutTangent(k)[component] * factor * (k > 0 ? around : after));
      }
      curve.keys.push_back(key);
    }
    return curve;
  }

  std::vector<double> FrameTimes(double end) const {
    std::vector<double> times;
    const long frames = std::lround(std::ceil(end * fps_ - 1e-6));
    for (long f = 0; f <= frames; ++f) times.push_back(static_cast<double>(static_cast<float>(f / fps_)));
    return times;
  }

  static Matrix3 Mirrored(const Quaternion& q) { return RotationMatrix(Quaternion{-q.x, -q.y, q.z, q.w}); }

  // Heading, pitch and bank of a node's rotation, as constants, steps or a fit.
  std::array<Curve, 3> RotationCurves(int n, const Animation* anim, const std::vector<double>& frames) const {
    const NodeChannels* c = ChannelsOf(n, anim);
    std::array<Curve, 3> curves;
    if (c == nullptr || c->rotation == nullptr) {
      const Euler e = ToEuler(Mirrored(nodes_[static_cast<std::size_t>(n)].rotation), nullptr);
      return {Curve::Constant(static_cast<float>(e.heading)), Curve::Constant(static_cast<float>(e.pitch)),
              Curve::Constant(static_cast<float>(e.bank))};
    }
    const Sampler& s = *c->rotation;
    if (s.interpolation == Interpolation::Step || s.times.size() == 1) {
      Euler previous;
      for (std::size_t k = 0; k < s.times.size(); ++k) {
        const float* q = s.Value(k);
        previous = ToEuler(Mirrored({q[0], q[1], q[2], q[3]}), k > 0 ? &previous : nullptr);
        const double values[3] = {previous.heading, previous.pitch, previous.bank};
        for (int i = 0; i < 3; ++i) {
          curves[static_cast<std::size_t>(i)].keys.push_back({static_cast<float>(values[i]), s.times[k], kShapeStepped, {}});
        }
      }
      return curves;
    }
    const auto rotation = [&s](double t) {
      const auto v = s.At(t);
      return Mirrored({v[0], v[1], v[2], v[3]});
    };
    return FitRotation(rotation, std::vector<double>(s.times.begin(), s.times.end()), frames, kToleranceDegrees);
  }

  Motion NodeMotion(int n, const Animation* anim, const std::vector<double>& frames, bool withScale, bool withPlace) const {
    Motion motion = Motion::Still(9);
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const NodeChannels* c = ChannelsOf(n, anim);
    if (withPlace) {
      const double mirror[3] = {1, 1, -1};
      for (std::size_t i = 0; i < 3; ++i) {
        motion.channels[i] = c != nullptr && c->translation != nullptr
                                 ? SamplerCurve(*c->translation, i, mirror[i])
                                 : Curve::Constant(static_cast<float>(node.translation[i] * mirror[i]));
      }
      const std::array<Curve, 3> rotation = RotationCurves(n, anim, frames);
      for (std::size_t i = 0; i < 3; ++i) motion.channels[3 + i] = rotation[i];
    }
    if (withScale) {
      for (std::size_t i = 0; i < 3; ++i) {
        motion.channels[6 + i] = c != nullptr && c->scale != nullptr ? SamplerCurve(*c->scale, i, 1)
                                                                   : Curve::Constant(static_cast<float>(node.scale[i]));
      }
    }
    return motion;
  }

  void AddMorph(DemoObject& object, int n, const Animation* anim) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const std::size_t targets = TargetCount(node.mesh);
    if (targets == 0) return;
    std::vector<float> weights = node.weights;
    if (weights.empty()) {
      const json& meshWeights = Get(Get(json_, "meshes")[static_cast<std::size_t>(node.mesh)], "weights");
      for (const json& w : meshWeights) weights.push_back(w.is_number() ? w.get<float>() : 0.0f);
    }
    weights.resize(targets, 0.0f);
    const NodeChannels* c = ChannelsOf(n, anim);
    const Sampler* sampler = c != nullptr ? c->weights : nullptr;
    bool any = sampler != nullptr;
    bool negative = false;
    for (float w : weights) any |= w != 0, negative |= w < 0;
    if (!any) return;
    for (std::size_t t = 0; t < targets; ++t) {
      object.mixer.push_back(sampler != nullptr ? SamplerCurve(*sampler, t, 1) : Curve::Constant(weights[t]));
    }
    if (sampler != nullptr) {
      for (std::size_t k = 0; k < sampler->times.size(); ++k) {
        for (std::size_t t = 0; t < targets; ++t) negative |= sampler->Value(k)[t] < 0;
      }
    }
    if (negative) Warn(NodeLabel(n) + ": negative morph weights are dropped: the player's morph mixer applies weights above 0 only");
  }

  DemoScene Scene(const Animation* anim) {
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
      if (node.mesh >= 0) {
        object.mesh = meshObjects_.at(node.mesh);
        AddMorph(object, n, anim);
      }
      if (scene.objects.size() >= 0xFFFF) Fail("more nodes than a scene holds");
      itemOf[n] = static_cast<uint16_t>(scene.objects.size());
      scene.objects.push_back(std::move(object));
      if (node.camera >= 0) AddCamera(scene, n, anim, frames, itemOf[n]);
      if (node.light >= 0) AddLight(scene, n, itemOf[n]);
    }
    if (scene.cameras.empty()) AddFramingCamera(scene, anim);
    if (!scene.fogMax) scene.fogMax = Scalar::Of(static_cast<float>(std::max(1000.0, 10 * SceneSize(anim))));
    return scene;
  }

  void AddCamera(DemoScene& scene, int n, const Animation* anim, const std::vector<double>& frames, uint16_t item) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const json& cameras = Get(json_, "cameras");
    if (!cameras.is_array() || static_cast<std::size_t>(node.camera) >= cameras.size()) {
      Fail(NodeLabel(n) + " names a camera that does not exist");
    }
    const json& j = cameras[static_cast<std::size_t>(node.camera)];
    DemoCamera camera;
    camera.name = OneWord(Get(j, "name").is_string() ? Get(j, "name").get<std::string>() : "", "Camera");
    const json& perspective = Get(j, "perspective");
    if (perspective.is_object() && Get(perspective, "yfov").is_number()) {
      const double yfov = Get(perspective, "yfov").get<double>();
      if (yfov > 0 && yfov < kPi) camera.zoom = Scalar::Of(static_cast<float>(1 / std::tan(yfov / 2)));
      if (Get(perspective, "znear").is_number() && !scene.nearClip) {
        scene.nearClip = Get(perspective, "znear").get<float>();
      }
      if (Get(perspective, "zfar").is_number() && !scene.fogMax) {
        scene.fogMax = Scalar::Of(Get(perspective, "zfar").get<float>());
      }
    } else {
      Warn(NodeLabel(n) + ": its orthographic camera becomes a perspective one");
    }
    // The player's view leaves out every scale on the way up.
    bool scaled = false;
    for (int p = n; p != -1; p = nodes_[static_cast<std::size_t>(p)].parent) scaled |= !UnitScale(p, anim);
    if (!scaled) {
      camera.parent = ItemLink{ItemRef::kObject, item, 0};
    } else {
      camera.motion = Motion::Still(9);
      for (Curve& c : camera.motion.channels) c.keys.clear();
      Euler previous;
      for (std::size_t f = 0; f < frames.size(); ++f) {
        const Matrix4d w = WorldAt(n, anim, frames[f]);
        Matrix3 r{};
        for (int c = 0; c < 3; ++c) {
          const double len = std::sqrt(w[c * 4] * w[c * 4] + w[c * 4 + 1] * w[c * 4 + 1] + w[c * 4 + 2] * w[c * 4 + 2]);
          for (int row = 0; row < 3; ++row) {
            // mirrored: Z W Z
            const double sign = (row == 2) != (c == 2) ? -1 : 1;
            r[static_cast<std::size_t>(row * 3 + c)] = sign * w[static_cast<std::size_t>(c * 4 + row)] / (len > 0 ? len : 1);
          }
        }
        previous = ToEuler(r, f > 0 ? &previous : nullptr);
        const double values[9] = {w[12], w[13], -w[14], previous.heading, previous.pitch, previous.bank, 1, 1, 1};
        for (std::size_t c = 0; c < 9; ++c) {
          camera.motion.channels[c].keys.push_back({static_cast<float>(values[c]), static_cast<float>(frames[f]), kShapeLinear, {}});
        }
      }
      Warn(NodeLabel(n) + ": its camera hangs from scaled nodes, which the player's view does not scale; it is placed "
           "frame by frame instead");
    }
    scene.cameras.push_back(std::move(camera));
  }

  void AddLight(DemoScene& scene, int n, uint16_t item) {
    const Node& node = nodes_[static_cast<std::size_t>(n)];
    const json& lights = Get(Get(Get(json_, "extensions"), "KHR_lights_punctual"), "lights");
    if (!lights.is_array() || static_cast<std::size_t>(node.light) >= lights.size()) {
      Fail(NodeLabel(n) + " names a light that does not exist");
    }
    const json& j = lights[static_cast<std::size_t>(node.light)];
    DemoLight light;
    light.name = OneWord(Get(j, "name").is_string() ? Get(j, "name").get<std::string>() : "",
                         "Light" + std::to_string(scene.lights.size() + 1));
    light.parent = ItemLink{ItemRef::kObject, item, 0};
    const std::string type = Get(j, "type").is_string() ? Get(j, "type").get<std::string>() : "";
    light.type = type == "directional" ? 0 : type == "spot" ? 2 : 1;
    if (type != "directional" && type != "spot" && type != "point") Warn(NodeLabel(n) + ": light type \"" + type + "\" becomes a point light");
    if (Get(j, "color").is_array()) {
      const auto c = Numbers(Get(j, "color"), 3, NodeLabel(n) + ": light colour");
      light.color = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
    }
    if (Get(j, "intensity").is_number()) light.intensity = Scalar::Of(Get(j, "intensity").get<float>());
    if (Get(j, "range").is_number()) Warn(NodeLabel(n) + ": the light's range is dropped: the player's lights reach everywhere");
    if (light.type == 2) {
      const json& spot = Get(j, "spot");
      const double outer = Get(spot, "outerConeAngle").is_number() ? Get(spot, "outerConeAngle").get<double>() : kPi / 4;
      light.coneAngle = Scalar::Of(static_cast<float>(outer * 180 / kPi));
      if (Get(spot, "innerConeAngle").is_number() && Get(spot, "innerConeAngle").get<double>() > 0) {
        Warn(NodeLabel(n) + ": the spot's soft edge (innerConeAngle) is dropped: the player's cone is sharp");
      }
    }
    if (scene.lights.size() == 8) Warn("the scene has more than 8 lights; the player lights with the first 8");
    scene.lights.push_back(std::move(light));
  }

  // The corners of every mesh at the scene's first frame, in glTF's space.
  bool Bounds(const Animation* anim, Vec3& lo, Vec3& hi) const {
    bool any = false;
    const json& meshes = Get(json_, "meshes");
    const json& accessors = Get(json_, "accessors");
    for (int n : order_) {
      const int m = nodes_[static_cast<std::size_t>(n)].mesh;
      if (m < 0) continue;
      const Matrix4d w = WorldAt(n, anim, 0);
      for (const json& p : Get(meshes[static_cast<std::size_t>(m)], "primitives")) {
        const int a = Index(Get(Get(p, "attributes"), "POSITION"));
        if (a < 0 || static_cast<std::size_t>(a) >= accessors.size()) continue;
        const json& mn = Get(accessors[static_cast<std::size_t>(a)], "min");
        const json& mx = Get(accessors[static_cast<std::size_t>(a)], "max");
        if (!mn.is_array() || !mx.is_array() || mn.size() != 3 || mx.size() != 3) continue;
        for (int corner = 0; corner < 8; ++corner) {
          Vec3 v;
          for (std::size_t k = 0; k < 3; ++k) v[k] = ((corner >> k) & 1 ? mx : mn)[k].get<double>();
          for (std::size_t r = 0; r < 3; ++r) {
            const double x = w[r] * v[0] + w[4 + r] * v[1] + w[8 + r] * v[2] + w[12 + r];
            lo[r] = any ? std::min(lo[r], x) : x;
            hi[r] = any ? std::max(hi[r], x) : x;
          }
          any = true;
        }
      }
    }
    return any;
  }

  double SceneSize(const Animation* anim) const {
    Vec3 lo{}, hi{};
    if (!Bounds(anim, lo, hi)) return 1;
    return std::max(std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]), 1e-3);
  }

  void AddFramingCamera(DemoScene& scene, const Animation* anim) {
    Vec3 lo{-1, -1, -1}, hi{1, 1, 1};
    Bounds(anim, lo, hi);
    const double radius = std::max(std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]) / 2, 1e-3);
    DemoCamera camera;
    camera.name = "Framing";
    const double zoom = 3.2;  // LightWave's 50 mm lens
    const double distance = radius * 1.1 * std::sqrt(1 + zoom * zoom);  // radius / sin(half the field of view)
    // In front of the scene as glTF's front view sees it, looking at its middle.
    const double position[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, -((lo[2] + hi[2]) / 2 + distance)};
    for (std::size_t i = 0; i < 3; ++i) camera.motion.channels[i] = Curve::Constant(static_cast<float>(position[i]));
    scene.cameras.push_back(std::move(camera));
    if (!scene.nearClip) scene.nearClip = static_cast<float>(std::max(distance - radius, distance / 100) / 2);
    if (!scene.fogMax) scene.fogMax = Scalar::Of(static_cast<float>(std::max(1000.0, (distance + radius) * 4)));
  }

  const GltfFile& file_;
  const GltfSceneOptions& options_;
  std::vector<std::string>& warnings_;
  std::vector<std::string> once_;
  const json& json_;
  std::vector<Node> nodes_;
  std::vector<int> roots_, order_;
  std::vector<Animation> animations_;
  std::map<int, std::string> meshObjects_;
  double fps_ = 30;
};

}  // namespace

GltfScenes ConvertGltfScenes(const GltfFile& file, const GltfSceneOptions& options,
                             std::vector<std::string>& warnings) {
  return Converter(file, options, warnings).Convert();
}

}  // namespace stagwerk::kq7
