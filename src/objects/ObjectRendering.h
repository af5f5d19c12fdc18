#pragma once
// One object of the frame: placement through its parent chain, the state its
// flags select, its dissolve and the camera's blur fade, and the drawing path
// (display list, morphing working copy, or sprites).
namespace stagwerk {

struct Camera;
struct Matrix4;
struct SceneObject;

// view is the camera's view matrix the frame set up; every item matrix of the
// frame starts from it.
void RenderObject(SceneObject& object, float time, const Camera& camera, const Matrix4& view);
// The drawing path; modelview is the object's matrix, already loaded.
void DrawObject(SceneObject& object, float time, const Matrix4& modelview);
// Brings the working copy of an object with a morph target up to date, and
// those of its target's chain, from the end of the chain back.
void BlendMorphChain(SceneObject& object, float time);
// The morph-mixer deltas of every channel whose weight is above 0.0001.
void ApplyMorphMixer(SceneObject& object, float time);

}  // namespace stagwerk
