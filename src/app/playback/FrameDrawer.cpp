#include "app/playback/FrameDrawer.h"

#include "frame/Renderer.h"

namespace stagwerk {

void FrameDrawer::RenderFrame(Scene& scene, float time, Camera& camera) {
  renderer_.DrawFrame(builder_.Build(scene, time, camera));
  ++framesDrawn_;
}

}  // namespace stagwerk
