#include "app/playback/FrameDrawer.h"

#include "frame/Renderer.h"

namespace stagwerk {

void FrameDrawer::RenderFrame(Scene& scene, float time, Camera& camera, double musicTime) {
  lastMusicTime_ = musicTime;
  const Frame& frame = ahead_.Build(scene, time, camera, sync_.At(scene, musicTime));
  last_ = &frame;
  if (!drawing_) return;
  renderer_.DrawFrame(frame);
  ++framesDrawn_;
}

}  // namespace stagwerk
