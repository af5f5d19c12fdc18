#pragma once
// The playback clock's frames drawn with the GL renderer.
#include <cstdint>

#include "app/PlaybackClock.h"

namespace stagwerk {

class GlFrameTarget final : public FrameTarget {
 public:
  explicit GlFrameTarget(float aspect) : aspect_(aspect) {}
  void ActivateScene(Scene& scene) override;
  void RenderFrame(Scene& scene, float time, Camera& camera) override;

  int64_t framesDrawn() const { return framesDrawn_; }

 private:
  float aspect_;
  int64_t framesDrawn_ = 0;
};

}  // namespace stagwerk
