#pragma once
// The scene's lights in GL: switched on with their scene, placed and coloured
// every frame, and their lens flares drawn after the objects.
namespace stagwerk {

struct Light;
struct Matrix4;

// Switches the light's GL light on. Point and distant lights get the cut-off
// 180, clearing a spot cone an earlier scene left on the same GL light.
void EnableGlLight(const Light& light);
// Position, diffuse colour and, for spots, cut-off and direction, under the
// light's own world transform. Distant lights shine along their +Z axis.
void SetupGlLight(Light& light, float time, const Matrix4& view);
// A screen-parallel textured square at the light's eye position.
void DrawFlare(Light& light, float time, const Matrix4& view);

// Cone angles GL accepts: 0 to 90, or 180.
float SpotCutoff(float coneAngle);

}  // namespace stagwerk
