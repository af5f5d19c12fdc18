#include "app/StillRender.h"

#include <algorithm>
#include <cmath>

#include "anim/LoadError.h"
#include "app/Demo.h"
#include "app/LoadingScreen.h"
#include "gl/Viewport.h"
#include "platform/GlContext.h"
#include "platform/PngWriter.h"
#include "scene/FrameRenderer.h"

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
  DemoOptions demoOptions;
  demoOptions.validationRun = true;  // a still never writes the user's settings
  demoOptions.graphics = true;
  demoOptions.settingsPath = options.settingsPath;
  demoOptions.onLoadingPicture = [](const Texture& picture) { ShowLoadingScreen(picture); };

  // The context outlives the demo: textures and display lists are deleted
  // while it is still current.
  std::unique_ptr<GlContext> gl;
  std::unique_ptr<Demo> demo = Demo::Create(options.configPath, demoOptions);
  const int width = options.width > 0 ? options.width : static_cast<int>(demo->display.width);
  const int height = options.height > 0 ? options.height : static_cast<int>(demo->display.height);
  GlContextOptions window;
  window.width = width;
  window.height = height;
  window.depth = static_cast<int>(demo->display.depth);
  window.visible = false;
  gl = GlContext::Open(window);
  ResizeViewport(demo->aspect, width, height);
  demo->LoadContent();
  Scene& scene = demo->scenes.FindOrLoad(options.scene);
  Camera& camera = CameraOf(scene, options.camera);
  ActivateScene(scene);
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
      RenderFrame(scene, t, camera, demo->aspect);
    }
  }
  RenderFrame(scene, options.seconds, camera, demo->aspect);
  WritePng(options.out, width, height, gl->framebuffer().ReadRgb());
  demo.reset();  // before the context goes
}

}  // namespace stagwerk
