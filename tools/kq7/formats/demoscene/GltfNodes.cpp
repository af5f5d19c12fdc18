#include "kq7/formats/demoscene/GltfConverter.h"

// glTF nodes: read, placed by their parents at a time, and their bounds.

namespace stagwerk::kq7::gltf {

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

void Converter::ReadNodes() {
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
    n.skin = Index(Get(j, "skin"));
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
      n.weights.push_back(GltfFile::FloatOf(weights[w], 0.0f));
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

void Converter::Decompose(const std::vector<double>& m, Node& n, const std::string& label) {
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

std::size_t Converter::TargetCount(int mesh) const {
  const json& meshes = Get(json_, "meshes");
  if (mesh < 0 || !meshes.is_array() || static_cast<std::size_t>(mesh) >= meshes.size()) return 0;
  std::size_t targets = 0;
  for (const json& p : Get(meshes[static_cast<std::size_t>(mesh)], "primitives")) {
    targets = std::max(targets, Get(p, "targets").is_array() ? Get(p, "targets").size() : std::size_t{0});
  }
  return targets;
}

Local Converter::LocalAt(int n, const Animation* anim, double t) const {
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

Matrix4d Converter::WorldAt(int n, const Animation* anim, double t) const {
  Matrix4d m = Compose(LocalAt(n, anim, t));
  for (int p = nodes_[static_cast<std::size_t>(n)].parent; p != -1; p = nodes_[static_cast<std::size_t>(p)].parent) {
    m = Multiply(Compose(LocalAt(p, anim, t)), m);
  }
  return m;
}

const NodeChannels* Converter::ChannelsOf(int n, const Animation* anim) const {
  if (anim == nullptr) return nullptr;
  const auto it = anim->nodes.find(n);
  return it == anim->nodes.end() ? nullptr : &it->second;
}

bool Converter::Uniform(const float* s) {
  const double m = std::max({std::abs(s[0]), std::abs(s[1]), std::abs(s[2]), 1e-6f});
  return std::abs(s[0] - s[1]) <= 1e-6 * m && std::abs(s[1] - s[2]) <= 1e-6 * m;
}

bool Converter::UniformScale(int n, const Animation* anim) const {
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  const float base[3] = {Narrow(node.scale[0]), Narrow(node.scale[1]), Narrow(node.scale[2])};
  const NodeChannels* c = ChannelsOf(n, anim);
  if (c == nullptr || c->scale == nullptr) return Uniform(base);
  for (std::size_t i = 0; i + 3 <= c->scale->values.size(); i += 3) {
    if (!Uniform(&c->scale->values[i])) return false;
  }
  return true;
}

bool Converter::UnitScale(int n, const Animation* anim) const {
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

// The corners of every mesh at the scene's first frame, in glTF's space.
bool Converter::Bounds(const Animation* anim, Vec3& lo, Vec3& hi) const {
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

double Converter::SceneSize(const Animation* anim) const {
  Vec3 lo{}, hi{};
  if (!Bounds(anim, lo, hi)) return 1;
  return std::max(std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]), 1e-3);
}

}  // namespace stagwerk::kq7::gltf
