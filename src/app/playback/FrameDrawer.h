#pragma once
// The playback clock's frames: built as data, with what the sync tracks hold
// at each frame's row, then drawn by the renderer.
#include <cstdint>

#include "app/playback/PlaybackClock.h"
#include "app/playback/SyncFeed.h"
#include "frame/FrameBuilder.h"

namespace stagwerk {

class Renderer;

class FrameDrawer final : public FrameTarget {
 public:
  FrameDrawer(Renderer& renderer, float aspect) : renderer_(renderer), builder_(aspect) {}
  void ActivateScene(Scene& scene) override { builder_.ActivateScene(scene); }
  void RenderFrame(Scene& scene, float time, Camera& camera, double musicTime) override;

  // Frames read these tracks from now on.
  void UseSync(const SyncFeed& sync) { sync_ = sync; }

  int64_t framesDrawn() const { return framesDrawn_; }
  // The frame built last (null before the first), valid until the next.
  const Frame* lastFrame() const { return last_; }
  // The music time of the frame built last.
  double lastMusicTime() const { return lastMusicTime_; }
  // Off: frames are built, keeping what building carries from one frame to
  // the next, but not drawn. A recording runs up to its first frames so.
  void SetDrawing(bool on) { drawing_ = on; }

 private:
  Renderer& renderer_;
  FrameBuilder builder_;
  SyncFeed sync_;
  const Frame* last_ = nullptr;
  double lastMusicTime_ = 0.0;
  int64_t framesDrawn_ = 0;
  bool drawing_ = true;
};

}  // namespace stagwerk
