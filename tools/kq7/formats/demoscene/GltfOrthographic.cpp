#include "kq7/formats/demoscene/GltfConverter.h"

// An orthographic glTF camera as the player's perspective one: a long lens
// far back along the same view, so what was parallel stays nearly so.

namespace stagwerk::kq7::gltf {

namespace {

// How far back, in scene sizes (the diagonal of the meshes' bounds): the
// scene's depth then changes its size on screen by a few hundredths.
constexpr double kBackInSceneSizes = 20;

}  // namespace

void Converter::Orthographic(DemoScene& scene, DemoCamera& camera, int n, const Animation* anim, const json& ortho) {
  const double size = SceneSize(anim);
  const double back = kBackInSceneSizes * size;
  double ymag = Get(ortho, "ymag").is_number() ? std::abs(Get(ortho, "ymag").get<double>()) : 0;
  if (!(ymag > 0) || !std::isfinite(ymag)) ymag = size / 2;
  // The depth of the scene's centre in the camera's view at the first frame,
  // where the half height must come out as ymag.
  Vec3 lo{0, 0, 0}, hi{0, 0, 0};
  Bounds(anim, lo, hi);
  const Matrix4d w = WorldAt(n, anim, 0);
  const double length = std::max(std::hypot(w[8], w[9], w[10]), 1e-12);
  double depth = 0;
  for (std::size_t k = 0; k < 3; ++k) depth += ((lo[k] + hi[k]) / 2 - w[12 + k]) * -w[8 + k] / length;
  const double distance = back + std::max(depth, 0.0);
  camera.zoom = Scalar::Of(Narrow(distance / ymag));
  // The player's camera looks along its +Z: back is its -Z.
  if (camera.parent) {
    camera.motion.channels[2] = Curve::Constant(Narrow(-back));
  } else {
    std::vector<Curve>& c = camera.motion.channels;
    for (std::size_t k = 0; k < c[0].keys.size(); ++k) {
      const double h = c[3].keys[k].value, p = c[4].keys[k].value;
      const double view[3] = {std::sin(h) * std::cos(p), -std::sin(p), std::cos(h) * std::cos(p)};
      for (std::size_t axis = 0; axis < 3; ++axis) c[axis].keys[k].value -= Narrow(back * view[axis]);
    }
  }
  const double zfar = Get(ortho, "zfar").is_number() ? Get(ortho, "zfar").get<double>() : 2 * size;
  const double far = back + std::max(zfar, depth + size);
  if (!scene.fogMax || scene.fogMax->curve || scene.fogMax->value < far) scene.fogMax = Scalar::Of(Narrow(far));
  Warn(NodeLabel(n) + ": its orthographic camera becomes a perspective one " + std::to_string(back) + " back along its view (" +
       std::to_string(static_cast<int>(kBackInSceneSizes)) + " times the scene's size) with zoom " +
       std::to_string(distance / ymag) + ", showing the " + std::to_string(2 * ymag) + " of its height at the scene's centre");
}

}  // namespace stagwerk::kq7::gltf
