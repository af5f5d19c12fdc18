#include "kq7/formats/demoscene/GltfConverter.h"

// glTF animations: samplers read and evaluated, and fitted as motion channels and morph weights.

namespace stagwerk::kq7::gltf {

std::vector<double> Sampler::At(double t) const {
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

void Converter::ReadAnimations() {
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

void Converter::ReadSampler(const json& j, std::size_t width, Sampler& s, const std::string& label) {
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

double Converter::DetectRate() const {
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

// One curve from one component of a sampler, with its shape and tangents
// carried over; factor mirrors it.
Curve Converter::SamplerCurve(const Sampler& s, std::size_t component, double factor) {
  Curve curve;
  const std::size_t n = s.times.size();
  for (std::size_t k = 0; k < n; ++k) {
    CurveKey key;
    key.value = Narrow(s.Value(k)[component] * factor);
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
      key.params[3] = Narrow(s.InTangent(k)[component] * factor * (k + 1 < n ? around : before));
      key.params[4] = Narrow(s.OutTangent(k)[component] * factor * (k > 0 ? around : after));
    }
    curve.keys.push_back(key);
  }
  return curve;
}

std::vector<double> Converter::FrameTimes(double end) const {
  // Every user of the frames (scenes, skin bakes) stops here first.
  if (!(end * fps_ <= kMaxFrames)) Fail("an animation lasts " + std::to_string(end) + " s, more frames than a scene can hold");
  std::vector<double> times;
  const long frames = std::lround(std::ceil(end * fps_ - 1e-6));
  for (long f = 0; f <= frames; ++f) times.push_back(static_cast<double>(Narrow(f / fps_)));
  return times;
}

// Heading, pitch and bank of a node's rotation, as constants, steps or a fit.
std::array<Curve, 3> Converter::RotationCurves(int n, const Animation* anim, const std::vector<double>& frames) const {
  const NodeChannels* c = ChannelsOf(n, anim);
  std::array<Curve, 3> curves;
  if (c == nullptr || c->rotation == nullptr) {
    const Euler e = ToEuler(Mirrored(nodes_[static_cast<std::size_t>(n)].rotation), nullptr);
    return {Curve::Constant(Narrow(e.heading)), Curve::Constant(Narrow(e.pitch)),
            Curve::Constant(Narrow(e.bank))};
  }
  const Sampler& s = *c->rotation;
  if (s.interpolation == Interpolation::Step || s.times.size() == 1) {
    Euler previous;
    for (std::size_t k = 0; k < s.times.size(); ++k) {
      const float* q = s.Value(k);
      previous = ToEuler(Mirrored({q[0], q[1], q[2], q[3]}), k > 0 ? &previous : nullptr);
      const double values[3] = {previous.heading, previous.pitch, previous.bank};
      for (int i = 0; i < 3; ++i) {
        curves[static_cast<std::size_t>(i)].keys.push_back({Narrow(values[i]), s.times[k], kShapeStepped, {}});
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

Motion Converter::NodeMotion(int n, const Animation* anim, const std::vector<double>& frames, bool withScale, bool withPlace) const {
  Motion motion = Motion::Still(9);
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  const NodeChannels* c = ChannelsOf(n, anim);
  if (withPlace) {
    const double mirror[3] = {1, 1, -1};
    for (std::size_t i = 0; i < 3; ++i) {
      motion.channels[i] = c != nullptr && c->translation != nullptr
                               ? SamplerCurve(*c->translation, i, mirror[i])
                               : Curve::Constant(Narrow(node.translation[i] * mirror[i]));
    }
    const std::array<Curve, 3> rotation = RotationCurves(n, anim, frames);
    for (std::size_t i = 0; i < 3; ++i) motion.channels[3 + i] = rotation[i];
  }
  if (withScale) {
    for (std::size_t i = 0; i < 3; ++i) {
      motion.channels[6 + i] = c != nullptr && c->scale != nullptr ? SamplerCurve(*c->scale, i, 1)
                                                                 : Curve::Constant(Narrow(node.scale[i]));
    }
  }
  return motion;
}

void Converter::AddMorph(DemoObject& object, int n, const Animation* anim) {
  const Node& node = nodes_[static_cast<std::size_t>(n)];
  const std::size_t targets = TargetCount(node.mesh);
  if (targets == 0) return;
  std::vector<float> weights = node.weights;
  if (weights.empty()) {
    const json& meshWeights = Get(Get(json_, "meshes")[static_cast<std::size_t>(node.mesh)], "weights");
    for (const json& w : meshWeights) weights.push_back(GltfFile::FloatOf(w, 0.0f));
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

}  // namespace stagwerk::kq7::gltf
