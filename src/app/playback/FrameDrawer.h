#pragma once
// The playback clock's frames: built as data, with what the sync tracks hold
// at each frame's row, then drawn by the renderer.
#include <cstdint>

#include "app/playback/PlaybackClock.h"
#include "app/playback/SyncFeed.h"
#include "frame/FrameBuildAhead.h"
#include "frame/FrameBuilder.h"

namespace stagwerk {

class Renderer;

class FrameDrawer final : public FrameTarget {
 public:
  // buildAhead: the frame a pass announces is built on a worker while
  // the caller goes on; only for a clock whose next reading is the one
  // announced, and tracks that no editor changes.
  FrameDrawer(Renderer& renderer, float aspect, bool buildAhead = false)
      : renderer_(renderer), builder_(aspect), ahead_(builder_, buildAhead) {}
  void ActivateScene(Scene& scene) override {
    ahead_.Settle();
    builder_.ActivateScene(scene);
  }
  void RenderFrame(Scene& scene, float time, Camera& camera, double musicTime) override;
  void Upcoming(Scene& scene, float time, Camera& camera, double musicTime) override {
    if (ahead_.on()) ahead_.Ahead(scene, time, camera, sync_.At(scene, musicTime));
  }
  const FrameBuildAhead& buildAhead() const { return ahead_; }

  // Frames read these tracks from now on.
  void UseSync(const SyncFeed& sync) {
    ahead_.Settle();
    sync_ = sync;
  }

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
  FrameBuildAhead ahead_;
  SyncFeed sync_;
  const Frame* last_ = nullptr;
  double lastMusicTime_ = 0.0;
  int64_t framesDrawn_ = 0;
  bool drawing_ = true;
};

}  // namespace stagwerk
