#include "app/playback/StillFrames.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/LoadError.h"
#include "frame/FrameBuilder.h"
#include "frame/Renderer.h"
#include "scene/Camera.h"
#include "scene/Scene.h"

namespace stagwerk {

namespace {

constexpr double kMaxTrailFrames = 10000;

}  // namespace

Camera& StillCamera(Scene& scene, int number) {
  Camera* camera = scene.cameras.At(number <= 1 ? 0 : number - 1);
  if (camera == nullptr) throw LoadError("Scene " + scene.name + " has no camera " + std::to_string(number));
  return *camera;
}

void DrawStill(Renderer& renderer, FrameBuilder& frames, Scene& scene, Camera& camera, float seconds) {
  frames.ActivateScene(scene);
  if (camera.blurLength) {
    // A blurred camera shows a trail of the frames before: draw them as
    // playback would, at the scene's frame rate, from its first frame (or
    // from the last kMaxTrailFrames, which is all a trail can still show).
    const double first = std::max<double>(scene.sceneStart, seconds - kMaxTrailFrames * scene.frameDuration);
    const double last = std::min<double>(seconds, scene.sceneEnd);
    const double steps = std::floor((first - scene.sceneStart) / scene.frameDuration);
    for (double k = std::max(0.0, steps);; ++k) {
      const float t = static_cast<float>(scene.sceneStart + k * scene.frameDuration);
      if (!(t < last)) break;
      renderer.DrawFrame(frames.Build(scene, t, camera));
    }
  }
  renderer.DrawFrame(frames.Build(scene, seconds, camera));
}

}  // namespace stagwerk
