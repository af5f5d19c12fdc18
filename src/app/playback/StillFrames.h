#pragma once
// What a still draws: the scene at a time through a camera, after the trail
// of frames a blurred camera would still show, as playback draws them, with
// the sync tracks as the script's entry would read them.
#include "app/playback/SyncFeed.h"

namespace stagwerk {

class FrameBuilder;
class Renderer;
struct Camera;
struct DemoScript;
struct Scene;

// Camera `number` (1-based; 0 and below mean the first). Throws LoadError
// "Scene <name> has no camera <number>".
Camera& StillCamera(Scene& scene, int number);

// What to add to a scene time of the still to get its music time: from the
// first script entry showing the scene through the camera at `seconds`, or
// else the first showing the scene at all; 0 when none does.
double StillMusicOffset(const DemoScript& script, const Scene& scene, const Camera& camera, float seconds);

// Activates the scene and draws its frame at `seconds` into the renderer's
// picture. Frames read `sync` at their scene time plus musicOffset.
void DrawStill(Renderer& renderer, FrameBuilder& frames, Scene& scene, Camera& camera, float seconds,
               const SyncFeed& sync = {}, double musicOffset = 0.0);

}  // namespace stagwerk
