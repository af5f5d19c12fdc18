#include "app/GlFrameTarget.h"

#include "scene/FrameRenderer.h"

namespace stagwerk {

void GlFrameTarget::ActivateScene(Scene& scene) { stagwerk::ActivateScene(scene); }

void GlFrameTarget::RenderFrame(Scene& scene, float time, Camera& camera) {
  stagwerk::RenderFrame(scene, time, camera, aspect_);
  ++framesDrawn_;
}

}  // namespace stagwerk
