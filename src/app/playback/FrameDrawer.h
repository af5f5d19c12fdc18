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
  // Off: frames are built, keeping what building carries from one frame to
  // the next, but not drawn. A recording runs up to its first frames so.
  void SetDrawing(bool on) { drawing_ = on; }

 private:
  Renderer& renderer_;
  FrameBuilder builder_;
  int64_t framesDrawn_ = 0;
  bool drawing_ = true;
};

}  // namespace stagwerk
