#pragma once
// What a still draws: the scene at a time through a camera, after the trail
// of frames a blurred camera would still show, as playback draws them.
namespace stagwerk {

class FrameBuilder;
class Renderer;
struct Camera;
struct Scene;

// Camera `number` (1-based; 0 and below mean the first). Throws LoadError
// "Scene <name> has no camera <number>".
Camera& StillCamera(Scene& scene, int number);

// Activates the scene and draws its frame at `seconds` into the renderer's
// picture.
void DrawStill(Renderer& renderer, FrameBuilder& frames, Scene& scene, Camera& camera, float seconds);

}  // namespace stagwerk
