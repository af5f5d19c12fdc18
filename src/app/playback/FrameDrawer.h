#pragma once
// The playback clock's frames: built as data, then drawn by the renderer.
#include <cstdint>

#include "app/playback/PlaybackClock.h"
#include "frame/FrameBuilder.h"

namespace stagwerk {

class Renderer;

class FrameDrawer final : public FrameTarget {
 public:
  FrameDrawer(Renderer& renderer, float aspect) : renderer_(renderer), builder_(aspect) {}
  void ActivateScene(Scene& scene) override { builder_.ActivateScene(scene); }
  void RenderFrame(Scene& scene, float time, Camera& camera) override;

  int64_t framesDrawn() const { return framesDrawn_; }

 private:
  Renderer& renderer_;
  FrameBuilder builder_;
  int64_t framesDrawn_ = 0;
};

}  // namespace stagwerk
