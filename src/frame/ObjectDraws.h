#pragma once
// One object in the frame: placed through its parent chain, the state its
// flags select, its dissolve darkened or faded by the camera's blur, and
// the draw its mesh needs (as loaded, its morphing copy, or sprites).
namespace stagwerk {

class SyncValues;
class MorphCopies;
class ScenePose;
struct Frame;
struct PipelineState;
struct SceneObject;

struct ObjectPass {
  Frame& frame;
  PipelineState& state;
  const ScenePose& pose;  // evaluated and composed from the frame's view
  MorphCopies& morphs;
  float time;
  float blurFade;  // 1, or 1 - the blur length under a blurred camera
  bool blurred;
  const SyncValues& sync;
};

void AddObject(ObjectPass& pass, const SceneObject& object);

}  // namespace stagwerk
