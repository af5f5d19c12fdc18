#pragma once
// Builds each frame of the demo as data, in the frame's fixed order:
// background picture or clear, depth clear, objects, flares, foreground.
// It keeps what drawing keeps between frames: where each curve was last
// read, the morphing copies, and the pipeline state one frame or scene leaves the next.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame/Frame.h"
#include "frame/MorphCopies.h"
#include "frame/PipelineState.h"
#include "frame/ScenePose.h"
#include "frame/SyncValues.h"

namespace stagwerk {

struct Camera;
struct Scene;

class FrameBuilder {
 public:
  // aspect is the demo's picture aspect.
  explicit FrameBuilder(float aspect);
  ~FrameBuilder();
  FrameBuilder(const FrameBuilder&) = delete;
  FrameBuilder& operator=(const FrameBuilder&) = delete;

  // The scene becomes current: its lights on and the others off, its fog
  // colour (with fog on) and its backdrop as the clear colour.
  void ActivateScene(const Scene& scene);
  // The scene at scene time t through camera, with what sync tracks hold
  // at the frame's row in place of the scene's values. Frames are built
  // into two buffers in turn, so a frame stays valid through the next
  // call (a morphing object's copy holds the newest shape); once warmed up
  // it allocates nothing.
  const Frame& Build(const Scene& scene, float t, const Camera& camera, const SyncValues& sync = {});

  // What one build carries to the next, to take a build back.
  struct Checkpoint {
    PipelineState state;
    uint32_t shake;
    int next;
  };
  Checkpoint Mark() const;
  void Rewind(const Checkpoint& mark);

  const PipelineState& state() const { return state_; }

 private:
  struct SceneWork {
    explicit SceneWork(const Scene& s) : scene(&s), pose(s), morphs(s) {}
    const Scene* scene;
    ScenePose pose;
    MorphCopies morphs;
  };
  SceneWork& WorkFor(const Scene& scene);
  void AddPicture(RenderHandle texture);

  float aspect_;
  PipelineState state_ = PipelineState::AfterLoading();
  std::vector<std::unique_ptr<SceneWork>> work_;
  std::array<Frame, 2> frames_;
  int next_ = 0;  // the buffer the next build fills
  Frame* frame_ = &frames_[0];
};

}  // namespace stagwerk
