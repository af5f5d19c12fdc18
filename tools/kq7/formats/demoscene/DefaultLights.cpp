#include "kq7/formats/demoscene/DefaultLights.h"

#include <algorithm>

#include "anim/ItemRef.h"

namespace stagwerk::kq7 {

namespace {

constexpr float kDegree = 3.14159265358979f / 180;

// A distant light shines along its +Z: heading turns it right, pitch down.
DemoLight Distant(const char* name, float intensity, float headingDegrees, float pitchDegrees) {
  DemoLight light;
  light.name = name;
  light.type = 0;
  light.intensity = Scalar::Of(intensity);
  light.parent = ItemLink{ItemRef::kCamera, 0, 0};
  light.motion.channels[3] = Curve::Constant(headingDegrees * kDegree);
  light.motion.channels[4] = Curve::Constant(pitchDegrees * kDegree);
  return light;
}

}  // namespace

bool AddDefaultLights(DemoScene& scene) {
  if (!scene.lights.empty() || scene.cameras.empty()) return false;
  scene.lights.push_back(Distant("DefaultKey", kDefaultKey, 35, 35));
  scene.lights.push_back(Distant("DefaultFill", kDefaultFill, -50, -15));
  // An animated ambient is the author's; a constant one is raised.
  if (!scene.ambientIntensity || (!scene.ambientIntensity->curve && scene.ambientIntensity->value < kDefaultAmbient)) {
    scene.ambientColor = std::array<float, 3>{1, 1, 1};
    scene.ambientIntensity = Scalar::Of(kDefaultAmbient);
  }
  return true;
}

}  // namespace stagwerk::kq7
