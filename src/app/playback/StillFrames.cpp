#include "app/playback/StillFrames.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/LoadError.h"
#include "frame/FrameBuilder.h"
#include "frame/Renderer.h"
#include "scene/Camera.h"
#include "scene/Scene.h"
#include "script/DemoScript.h"

namespace stagwerk {

namespace {

constexpr double kMaxTrailFrames = 10000;

}  // namespace

Camera& StillCamera(Scene& scene, int number) {
  Camera* camera = scene.cameras.At(number <= 1 ? 0 : number - 1);
  if (camera == nullptr) throw LoadError("Scene " + scene.name + " has no camera " + std::to_string(number));
  return *camera;
}

double StillMusicOffset(const DemoScript& script, const Scene& scene, const Camera& camera, float seconds) {
  const ScriptEntry* first = nullptr;
  for (const ScriptEntry& entry : script.entries) {
    if (entry.scene != &scene) continue;
    if (entry.camera == &camera && entry.sceneStart <= seconds && seconds < entry.sceneEnd) {
      return EntryMusicTime(entry, 0.0f);
    }
    if (first == nullptr) first = &entry;
  }
  return first != nullptr ? EntryMusicTime(*first, 0.0f) : 0.0;
}

void DrawStill(Renderer& renderer, FrameBuilder& frames, Scene& scene, Camera& camera, float seconds,
               const SyncFeed& sync, double musicOffset) {
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
      renderer.DrawFrame(frames.Build(scene, t, camera, sync.At(scene, t + musicOffset)));
    }
  }
  renderer.DrawFrame(frames.Build(scene, seconds, camera, sync.At(scene, seconds + musicOffset)));
}

}  // namespace stagwerk
