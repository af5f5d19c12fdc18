#include "app/playback/FrameDrawer.h"

#include "frame/Renderer.h"

namespace stagwerk {

void FrameDrawer::RenderFrame(Scene& scene, float time, Camera& camera) {
  const Frame& frame = builder_.Build(scene, time, camera);
  if (!drawing_) return;
  renderer_.DrawFrame(frame);
  ++framesDrawn_;
}

}  // namespace stagwerk
