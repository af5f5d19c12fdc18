#pragma once
// Lights in the frame: the eight slots switched with their scene, placed and
// coloured every frame in eye space, and the lens flares drawn after the
// objects.
namespace stagwerk {

class ScenePose;
class SyncValues;
struct Frame;
struct Light;
struct PipelineState;
struct Scene;

// The scene's shining lights on in slots 0 up, the other slots off. Point
// and distant lights get the cut-off 180, clearing a cone an earlier scene
// left in the same slot.
void ActivateLights(PipelineState& state, const Scene& scene);
// Position, diffuse colour and, for spots, cut-off and direction of every
// shining light at time t. Distant lights shine along their +Z axis.
void PlaceLights(PipelineState& state, const Scene& scene, const ScenePose& pose, float t, const SyncValues& sync);
// One flare draw: a screen-parallel square at the light's eye position.
void AddFlare(Frame& frame, PipelineState& state, const Light& light, const ScenePose& pose, float t,
              const SyncValues& sync);

// Cone angles GL accepts: 0 to 90, or 180.
float SpotCutoff(float coneAngle);

}  // namespace stagwerk
