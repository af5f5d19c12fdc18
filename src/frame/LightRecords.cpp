#include "frame/LightRecords.h"

#include <algorithm>

#include "frame/PipelineState.h"
#include "frame/ScenePose.h"
#include "frame/SyncValues.h"
#include "scene/Scene.h"
#include "textures/Texture.h"

namespace stagwerk {

namespace {

constexpr float kFlareSizeFactor = 0.2f;
constexpr int32_t kFlareDepthTest = 8;
constexpr int32_t kFlareFog = 16;

// The light's colour, or what its r, g and b tracks hold.
std::array<float, 3> LightColour(const Light& light, const SyncValues& sync) {
  return {sync.ItemOr(light, SyncChannel::Red, light.color[0]), sync.ItemOr(light, SyncChannel::Green, light.color[1]),
          sync.ItemOr(light, SyncChannel::Blue, light.color[2])};
}

}  // namespace

float SpotCutoff(float coneAngle) {
  if (coneAngle == 180.0f) return coneAngle;
  // GL refuses anything else above 90 and keeps the previous light's cut-off.
  return std::clamp(coneAngle, 0.0f, 90.0f);
}

void ActivateLights(PipelineState& state, const Scene& scene) {
  for (std::size_t i = 0; i < state.lights.size(); ++i) {
    LightSlot& slot = state.lights[i];
    slot.on = i < scene.shiningLights.size();
    if (!slot.on) continue;
    const LightType type = scene.shiningLights[i]->type;
    if (type == LightType::Point || type == LightType::Distant) slot.spotCutoff = 180.0f;
  }
}

void PlaceLights(PipelineState& state, const Scene& scene, const ScenePose& pose, float t, const SyncValues& sync) {
  std::size_t i = 0;
  for (const Light* light : scene.shiningLights) {
    LightSlot& slot = state.lights[i++];
    const Matrix4& m = pose.Placed(*light);
    // What GL makes of (0, 0, -1, 0) or (0, 0, 0, 1) under m: a direction
    // towards the light, at infinity behind its -Z, or its origin.
    if (light->type == LightType::Distant) {
      slot.position = {-m[8], -m[9], -m[10], 0.0f};
    } else {
      slot.position = {m[12], m[13], m[14], m[15]};
    }
    const float k = sync.ItemOr(*light, SyncChannel::Intensity, light->intensity.ValueAt(t));
    const std::array<float, 3> c = LightColour(*light, sync);
    slot.diffuse = {k * c[0], k * c[1], k * c[2], 1.0f};
    if (light->type == LightType::Spot) {
      slot.spotCutoff = SpotCutoff(light->coneAngle ? light->coneAngle->ValueAt(t) : 180.0f);
      slot.spotDirection = {m[8], m[9], m[10]};  // its +Z
    }
  }
}

void AddFlare(Frame& frame, PipelineState& s, const Light& light, const ScenePose& pose, float t,
              const SyncValues& sync) {
  const Matrix4& m = pose.Placed(light);
  s.depthTest = (light.lensFlareFade & kFlareDepthTest) != 0;
  s.fog = (light.lensFlareFade & kFlareFog) != 0;
  s.activeUnit = 0;
  if (light.flareTexture != nullptr) s.EnableAndBind(0, light.flareTexture->renderHandle);
  const float f = light.flareIntensity ? light.flareIntensity->ValueAt(t) : 0.0f;
  const float d = light.flareDissolve.ValueAt(t);
  const std::array<float, 3> c = LightColour(light, sync);
  s.colour = {f * c[0], f * c[1], f * c[2], 1.0f - d};
  Draw& draw = frame.draws.emplace_back(s.Snapshot(DrawKind::Flare));
  draw.modelview[12] = m[12];
  draw.modelview[13] = m[13];
  draw.modelview[14] = m[14];
  draw.size = light.flareNominalDistance.ValueAt(t) * kFlareSizeFactor;
}

}  // namespace stagwerk
