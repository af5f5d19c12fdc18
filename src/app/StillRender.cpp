#include "app/StillRender.h"

#include <algorithm>
#include <cmath>

#include "anim/LoadError.h"
#include "app/OffscreenDemo.h"
#include "platform/PngWriter.h"
#include "frame/FrameBuilder.h"

namespace stagwerk {

namespace {

constexpr double kMaxTrailFrames = 10000;

Camera& CameraOf(Scene& scene, int number) {
  Camera* camera = scene.cameras.At(number <= 1 ? 0 : number - 1);
  if (camera == nullptr) throw LoadError("Scene " + scene.name + " has no camera " + std::to_string(number));
  return *camera;
}

}  // namespace

void RenderStill(const StillOptions& options) {
  OffscreenDemo loaded(options.configPath, options.settingsPath, options.width, options.height, options.jobs,
                       options.renderer);
  Demo* demo = loaded.demo.get();
  Scene& scene = demo->scenes.FindOrLoad(options.scene);
  Camera& camera = CameraOf(scene, options.camera);
  FrameBuilder frames(demo->aspect);
  Renderer& renderer = *loaded.renderer;
  frames.ActivateScene(scene);
  if (camera.blurLength) {
    // A blurred camera shows a trail of the frames before: draw them as
    // playback would, at the scene's frame rate, from its first frame (or
    // from the last kMaxTrailFrames, which is all a trail can still show).
    const double first = std::max<double>(scene.sceneStart, options.seconds - kMaxTrailFrames * scene.frameDuration);
    const double last = std::min<double>(options.seconds, scene.sceneEnd);
    const double steps = std::floor((first - scene.sceneStart) / scene.frameDuration);
    for (double k = std::max(0.0, steps);; ++k) {
      const float t = static_cast<float>(scene.sceneStart + k * scene.frameDuration);
      if (!(t < last)) break;
      renderer.DrawFrame(frames.Build(scene, t, camera));
    }
  }
  renderer.DrawFrame(frames.Build(scene, options.seconds, camera));
  WritePng(options.out, loaded.width, loaded.height, renderer.ReadPicture());
}

}  // namespace stagwerk
