#pragma once
// A scene's frame: the passes in their fixed order (background or clear,
// fog, projection, ambient light, camera, lights, objects, flares,
// foreground), and the scene's own GL state when it becomes current.
namespace stagwerk {

struct Camera;
struct Scene;

// GL lights on or off, fog colour, clear colour.
void ActivateScene(const Scene& scene);
// Draws the scene at scene time t through camera; aspect is the demo's.
void RenderFrame(Scene& scene, float t, Camera& camera, float aspect);
// The full-screen quad of the background and foreground passes, texture
// coordinate t = 0 at the bottom edge.
void DrawFullScreenQuad();

}  // namespace stagwerk
