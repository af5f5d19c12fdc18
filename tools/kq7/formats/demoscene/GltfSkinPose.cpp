#include <limits>

#include "kq7/formats/Kq7Fit.h"
#include "kq7/formats/demoscene/GltfConverter.h"

// Skinned meshes posed at a time as glTF poses them, baked at the scene's
// frame rate (or a lower one, to stay within the bound), and the objects
// and morph mixers that show them.

namespace stagwerk::kq7::gltf {

namespace {

// A move smaller than this share of the mesh's size is no move.
constexpr double kStillShare = 1e-5;
// Posing every frame to count what it moves costs at most this many vertex poses.
constexpr double kMaxCountingPoses = 64e6;
constexpr std::size_t kUncounted = std::numeric_limits<std::size_t>::max();

// Frames 0, step, 2 step, ... and always the last.
std::vector<std::size_t> Kept(std::size_t frames, std::size_t step) {
  std::vector<std::size_t> kept;
  for (std::size_t f = 0; f < frames; f += step) kept.push_back(f);
  if (!kept.empty() && kept.back() != frames - 1) kept.push_back(frames - 1);
  return kept;
}

Vec3 Delta(const Vec3& pose, const Vec3& rest) { return {pose[0] - rest[0], pose[1] - rest[1], -(pose[2] - rest[2])}; }

bool Moves(const Vec3& d, double still) { return std::max({std::abs(d[0]), std::abs(d[1]), std::abs(d[2])}) > still; }

std::string Ordinal(std::size_t n) {
  const std::size_t tens = n % 100;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
  return std::to_string(n) + suffix;
}

// The vertices that sit and move alike: the same bind place, joints and
// weights, and morph target moves.
std::vector<uint32_t> MoveClasses(const SkinnedMesh& s) {
  std::map<std::vector<double>, uint32_t> classes;
  std::vector<uint32_t> out;
  for (std::size_t v = 0; v < s.bind.size(); ++v) {
    std::vector<double> key(s.bind[v].begin(), s.bind[v].end());
    std::vector<Influence> influences = s.influences[v];
    std::sort(influences.begin(), influences.end(), [](const Influence& a, const Influence& b) { return a.joint < b.joint; });
    for (const Influence& i : influences) key.insert(key.end(), {static_cast<double>(i.joint), i.weight});
    for (const auto& target : s.targets) key.insert(key.end(), target[v].begin(), target[v].end());
    out.push_back(classes.try_emplace(std::move(key), static_cast<uint32_t>(classes.size())).first->second);
  }
  return out;
}

}  // namespace

std::vector<Vec3> Converter::Pose(const SkinnedMesh& s, const Animation* anim, double t) const {
  std::vector<Matrix4d> joints;
  for (std::size_t j = 0; j < s.joints.size(); ++j) joints.push_back(Multiply(WorldAt(s.joints[j], anim, t), s.inverseBind[j]));
  const std::vector<double> weights = MorphWeightsAt(s.node, anim, t);
  std::vector<Vec3> out(s.bind.size());
  for (std::size_t v = 0; v < s.bind.size(); ++v) {
    Vec3 p = s.bind[v];
    for (std::size_t k = 0; k < s.targets.size(); ++k) {
      for (std::size_t c = 0; c < 3; ++c) p[c] += weights[k] * s.targets[k][v][c];
    }
    Vec3& q = out[v];
    for (const Influence& i : s.influences[v]) {
      const Matrix4d& m = joints[i.joint];
      for (std::size_t r = 0; r < 3; ++r) q[r] += i.weight * (m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
    }
  }
  return out;
}

void Converter::BakeSkins(GltfScenes& out) {
  for (SkinnedMesh& s : skins_) {
    GltfSkinBake& bake = out.skins.emplace_back();
    bake.objectName = s.objectName;
    bake.mesh = static_cast<std::size_t>(s.mesh);
    const std::vector<Vec3> rest = Pose(s, nullptr, 0);
    Vec3 lo = rest.front(), hi = rest.front();
    for (const Vec3& p : rest) {
      for (std::size_t c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p[c]), hi[c] = std::max(hi[c], p[c]);
    }
    const double still = kStillShare * std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
    for (const Vec3& p : s.bind) bake.bind.push_back({Narrow(p[0]), Narrow(p[1]), Narrow(p[2])});
    bake.rest.assign(rest.begin(), rest.end());
    bake.moveClass = MoveClasses(s);
    bake.records = ChooseFrames(s, rest, still);
    for (std::size_t a = 0; a < animations_.size(); ++a) {
      bake.animations += s.times[a].empty() ? 0 : 1;
      for (double t : s.times[a]) {
        const std::vector<Vec3> pose = Pose(s, &animations_[a], t);
        std::vector<GltfBakedDelta>& frame = bake.frames.emplace_back();
        for (std::size_t v = 0; v < pose.size(); ++v) {
          const Vec3 d = Delta(pose[v], rest[v]);
          if (Moves(d, still)) {
            frame.push_back({static_cast<uint32_t>(v), {Narrow(d[0]), Narrow(d[1]), Narrow(d[2])}});
          }
        }
      }
    }
  }
}

// Every frame, else every step-th, else the first animations whole: the
// frames times moved vertices stay within the bound and the targets within
// a KQ7 file's count. Returns the delta records of the frames chosen.
std::size_t Converter::ChooseFrames(SkinnedMesh& s, const std::vector<Vec3>& rest, double still) {
  std::vector<std::vector<double>> times;
  std::vector<std::vector<std::size_t>> moved;
  double poses = 0;
  for (const Animation& anim : animations_) poses += static_cast<double>(FrameTimes(anim.end).size());
  poses *= static_cast<double>(s.bind.size());
  const std::size_t unit = static_cast<std::size_t>(std::max(1.0, std::ceil(poses / kMaxCountingPoses)));
  std::size_t longest = 1;
  for (const Animation& anim : animations_) {
    times.push_back(FrameTimes(anim.end));
    longest = std::max(longest, times.back().size());
    moved.emplace_back(times.back().size(), kUncounted);
    for (std::size_t f : Kept(times.back().size(), unit)) {
      std::size_t count = 0;
      const std::vector<Vec3> pose = Pose(s, &anim, times.back()[f]);
      for (std::size_t v = 0; v < pose.size(); ++v) count += Moves(Delta(pose[v], rest[v]), still) ? 1 : 0;
      moved.back()[f] = count;
    }
  }
  const auto records = [&](std::size_t step, std::size_t animations, std::size_t& frames) {
    std::size_t sum = 0;
    frames = 0;
    for (std::size_t a = 0; a < animations; ++a) {
      for (std::size_t f : Kept(times[a].size(), step)) sum += moved[a][f], ++frames;
    }
    return sum;
  };
  const std::size_t bound = options_.maxSkinDeltas;
  std::size_t frames = 0;
  const std::size_t every = unit == 1 ? records(1, times.size(), frames) : 0;
  std::size_t step = unit, kept = times.size(), total = records(step, kept, frames);
  if (total > bound || frames > kMaxKq7Count) {
    step = std::clamp(unit * (total / std::max<std::size_t>(bound, 1) / unit), unit, std::max(unit, longest));
  }
  while ((total = records(step, kept, frames)) > bound || frames > kMaxKq7Count) {
    if (step < longest) {
      step += unit;
    } else if (kept > 0) {
      --kept;
    } else {
      break;
    }
  }
  const std::string at = " at " + GroupedNumber(static_cast<std::size_t>(std::lround(fps_))) + " frames per second";
  if (step > 1 && kept > 0) {
    Warn(s.objectName + ": its skin's " + (unit > 1 ? "frames" : GroupedNumber(every) + " deltas") + at +
         " are past the bound of " + GroupedNumber(bound) + " deltas (or " + GroupedNumber(kMaxKq7Count) +
         " morph targets); every " + Ordinal(step) + " frame is baked and the player moves straight between them");
  }
  if (kept < times.size()) {
    std::string names;
    for (std::size_t a = kept; a < times.size(); ++a) {
      names += (names.empty() ? "" : ", ") + OneWord(animations_[a].name, std::to_string(a + 1));
    }
    Warn(s.objectName + ": the skin's frames of the animations " + names + " are not baked (two frames each are past the bound of " +
         GroupedNumber(bound) + " deltas); in their scenes the mesh stays in its rest pose");
  }
  s.times.assign(times.size(), {});
  s.firstTarget.assign(times.size(), 0);
  for (std::size_t a = 0; a < kept; ++a) {
    s.firstTarget[a] = s.targetCount;
    for (std::size_t f : Kept(times[a].size(), step)) s.times[a].push_back(times[a][f]);
    s.targetCount += s.times[a].size();
  }
  return total;
}

const SkinnedMesh* Converter::SkinOf(int n) const {
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  const auto it = skinIndex_.find({node.mesh, node.skin});
  return it == skinIndex_.end() ? nullptr : &skins_[it->second];
}

// Still at the scene's root: the baked frames are where the joints put the
// vertices. Its mixer weighs this animation's frames with hat curves, 1 at
// a frame and 0 at the frames either side.
DemoObject Converter::SkinnedObject(int n, const Animation* anim) const {
  const SkinnedMesh& s = *SkinOf(n);
  DemoObject object;
  object.mesh = s.objectName;
  object.label = OneWord(nodes_[static_cast<std::size_t>(n)].name, "node" + std::to_string(n));
  if (anim == nullptr) return object;
  const std::vector<double>& times = s.times[static_cast<std::size_t>(anim - animations_.data())];
  if (times.empty()) return object;
  object.mixer.assign(s.targetCount, Curve::Constant(0));
  const std::size_t first = s.firstTarget[static_cast<std::size_t>(anim - animations_.data())];
  for (std::size_t k = 0; k < times.size(); ++k) {
    Curve& hat = object.mixer[first + k];
    hat.keys.clear();
    if (k > 0) hat.keys.push_back({0, Narrow(times[k - 1]), kShapeLinear, {}});
    hat.keys.push_back({1, Narrow(times[k]), kShapeLinear, {}});
    if (k + 1 < times.size()) hat.keys.push_back({0, Narrow(times[k + 1]), kShapeLinear, {}});
  }
  return object;
}

}  // namespace stagwerk::kq7::gltf
