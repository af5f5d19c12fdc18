#include "kq7/formats/demoscene/GltfConverter.h"

#include "kq7/formats/MaterialRules.h"

// glTF cameras and KHR_lights_punctual lights as the scene's, and the camera a still scene is framed by.

namespace stagwerk::kq7::gltf {

void Converter::AddCamera(DemoScene& scene, int n, const Animation* anim, const std::vector<double>& frames, uint16_t item) {
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
    if (yfov > 0 && yfov < kPi) camera.zoom = Scalar::Of(Narrow(1 / std::tan(yfov / 2)));
    if (Get(perspective, "znear").is_number() && !scene.nearClip) {
      scene.nearClip = GltfFile::FloatOf(Get(perspective, "znear"), 0.0f);
    }
    if (Get(perspective, "zfar").is_number() && !scene.fogMax) {
      scene.fogMax = Scalar::Of(GltfFile::FloatOf(Get(perspective, "zfar"), 0.0f));
    }
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
        camera.motion.channels[c].keys.push_back({Narrow(values[c]), Narrow(frames[f]), kShapeLinear, {}});
      }
    }
    Warn(NodeLabel(n) + ": its camera hangs from scaled nodes, which the player's view does not scale; it is placed "
         "frame by frame instead");
  }
  if (!perspective.is_object()) Orthographic(scene, camera, n, anim, Get(j, "orthographic"));
  scene.cameras.push_back(std::move(camera));
}

// glTF's lux (directional) or candela (point, spot) as the player's
// intensity, which has no fall-off: a Lambert surface facing the light shows
// E / pi of its colour (as physically based viewers draw it), E = I / d^2 for
// a point or spot light with d its distance to the middle of the scene at the
// first frame; the result in the player's display space.
float Converter::PlayerIntensity(int type, double intensity, int n, const Animation* anim) const {
  double irradiance = intensity;
  if (type != 0) {
    Vec3 lo{}, hi{};
    const double size = SceneSize(anim);
    double d = size;
    if (Bounds(anim, lo, hi)) {
      const Matrix4d w = WorldAt(n, anim, 0);
      d = std::hypot(w[12] - (lo[0] + hi[0]) / 2, w[13] - (lo[1] + hi[1]) / 2, w[14] - (lo[2] + hi[2]) / 2);
    }
    d = std::max(d, size / 10);
    irradiance = intensity / (d * d);
  }
  return EncodeIntensity(irradiance / kPi);
}

void Converter::AddLight(DemoScene& scene, int n, uint16_t item, const Animation* anim) {
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
    light.color = {Narrow(c[0]), Narrow(c[1]), Narrow(c[2])};
  }
  const double intensity = Get(j, "intensity").is_number() ? Get(j, "intensity").get<double>() : 1.0;
  light.intensity = Scalar::Of(PlayerIntensity(light.type, intensity, n, anim));
  if (Get(j, "range").is_number()) Warn(NodeLabel(n) + ": the light's range is dropped: the player's lights reach everywhere");
  if (light.type == 2) {
    const json& spot = Get(j, "spot");
    const double outer = Get(spot, "outerConeAngle").is_number() ? Get(spot, "outerConeAngle").get<double>() : kPi / 4;
    light.coneAngle = Scalar::Of(Narrow(outer * 180 / kPi));
    if (Get(spot, "innerConeAngle").is_number() && Get(spot, "innerConeAngle").get<double>() > 0) {
      Warn(NodeLabel(n) + ": the spot's soft edge (innerConeAngle) is dropped: the player's cone is sharp");
    }
  }
  if (scene.lights.size() == 8) Warn("the scene has more than 8 lights; the player lights with the first 8");
  scene.lights.push_back(std::move(light));
}

void Converter::AddFramingCamera(DemoScene& scene, const Animation* anim) {
  Vec3 lo{-1, -1, -1}, hi{1, 1, 1};
  Bounds(anim, lo, hi);
  const double radius = std::max(std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]) / 2, 1e-3);
  DemoCamera camera;
  camera.name = "Framing";
  const double zoom = 3.2;  // LightWave's 50 mm lens
  const double distance = radius * 1.1 * std::sqrt(1 + zoom * zoom);  // radius / sin(half the field of view)
  // In front of the scene as glTF's front view sees it, looking at its middle.
  const double position[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, -((lo[2] + hi[2]) / 2 + distance)};
  for (std::size_t i = 0; i < 3; ++i) camera.motion.channels[i] = Curve::Constant(Narrow(position[i]));
  scene.cameras.push_back(std::move(camera));
  if (!scene.nearClip) scene.nearClip = Narrow(std::max(distance - radius, distance / 100) / 2);
  if (!scene.fogMax) scene.fogMax = Scalar::Of(Narrow(std::max(1000.0, (distance + radius) * 4)));
}

}  // namespace stagwerk::kq7::gltf
