#include "frame/FrameBuilder.h"

#include "frame/LightRecords.h"
#include "frame/ObjectDraws.h"
#include "scene/Scene.h"
#include "scene/ShakeRandom.h"
#include "textures/Texture.h"

namespace stagwerk {

FrameBuilder::FrameBuilder(float aspect) : aspect_(aspect) {}

FrameBuilder::~FrameBuilder() = default;

FrameBuilder::SceneWork& FrameBuilder::WorkFor(const Scene& scene) {
  for (auto& work : work_) {
    if (work->scene == &scene) return *work;
  }
  return *work_.emplace_back(std::make_unique<SceneWork>(scene));
}

void FrameBuilder::ActivateScene(const Scene& scene) {
  ActivateLights(state_, scene);
  if (scene.fogType == 1) {
    state_.fogColour = {scene.fogColor.red, scene.fogColor.green, scene.fogColor.blue, scene.fogColor.alpha};
  }
  state_.clearColour = {scene.backdropColor.red, scene.backdropColor.green, scene.backdropColor.blue, 0.0f};
}

FrameBuilder::Checkpoint FrameBuilder::Mark() const { return {state_, ShakeRandomState(), next_}; }

void FrameBuilder::Rewind(const Checkpoint& mark) {
  state_ = mark.state;
  SeedShakeRandom(mark.shake);
  next_ = mark.next;
}

void FrameBuilder::AddPicture(RenderHandle texture) {
  state_.FlatPicture();
  state_.EnableAndBind(0, texture);
  frame_->draws.push_back(state_.Snapshot(DrawKind::Picture));
}

const Frame& FrameBuilder::Build(const Scene& scene, float t, const Camera& camera, const SyncValues& sync) {
  SceneWork& work = WorkFor(scene);
  PipelineState& s = state_;
  frame_ = &frames_[static_cast<std::size_t>(next_)];
  next_ ^= 1;
  frame_->draws.clear();
  frame_->points.clear();

  // Background picture, or a clear unless the camera leaves a blur trail.
  if (scene.bgImage != nullptr) {
    s.colour = {1.0f, 1.0f, 1.0f, 1.0f};
    s.blend = false;
    AddPicture(scene.bgImage->renderHandle);
    s.blend = true;
  } else if (!camera.blurLength) {
    frame_->draws.push_back(s.Snapshot(DrawKind::ClearColour));
  }
  s.depthTest = true;
  frame_->draws.push_back(s.Snapshot(DrawKind::ClearDepth));

  // Fog; the far plane is the fog's far distance, fog or not.
  const float far = sync.FogFarOr(scene.fogMaxDistance.ValueAt(t));
  s.fog = scene.fogType == 1;
  if (s.fog) {
    s.fogStart = sync.FogNearOr(scene.fogMinDistance.ValueAt(t));
    s.fogEnd = far;
  }
  const std::optional<float> zoom = sync.Item(camera, SyncChannel::Zoom);
  frame_->projection = {zoom ? FieldOfViewForZoom(*zoom) : CameraFieldOfView(camera, t), aspect_, scene.nearClip, far};
  const float a = sync.AmbientOr(scene.ambientIntensity.ValueAt(t));
  frame_->ambient = {a * scene.ambientColor.red, a * scene.ambientColor.green, a * scene.ambientColor.blue, 1.0f};

  // Mirror Z, shake, camera view.
  Matrix4 view;
  view.Scale(1, 1, -1);
  if (camera.focalDistance) {
    const std::array<float, 3> shake = CameraShake(camera, t, &ShakeRandom);
    view.Translate(shake[0], shake[1], shake[2]);
  }
  // Every item's motion once, then every matrix from that view.
  work.pose.Evaluate(t, sync);
  work.pose.ApplyView(view, camera);
  work.pose.Compose(view);

  PlaceLights(s, scene, work.pose, t, sync);

  // Objects in file order; each leaves its state to the next.
  ObjectPass pass{*frame_, s, work.pose, work.morphs, t, CameraBlurFade(camera, t),
                  static_cast<bool>(camera.blurLength), sync};
  for (const SceneObject& object : scene.objects) AddObject(pass, object);

  // Flares add their light; blending stays as the objects left it, and the
  // generation switched off is that of whichever unit they left active.
  s.SetTextureGeneration(false);
  s.lighting = false;
  s.depthWrite = false;
  s.blendFunc = BlendFunc::Additive;
  for (const Light* light : scene.flareLights) AddFlare(*frame_, s, *light, work.pose, t, sync);
  s.depthWrite = true;
  s.lighting = true;

  if (scene.fgImage != nullptr) {
    s.blendFunc = BlendFunc::Alpha;
    s.colour = {1.0f, 1.0f, 1.0f, scene.fgDissolve ? 1.0f - scene.fgDissolve->ValueAt(t) : 1.0f};
    AddPicture(scene.fgImage->renderHandle);
    if (scene.fgDissolve) s.colour = {1.0f, 1.0f, 1.0f, 1.0f};
  }

  frame_->lights = s.lights;
  frame_->fogColour = s.fogColour;
  frame_->fogStart = s.fogStart;
  frame_->fogEnd = s.fogEnd;
  frame_->clearColour = s.clearColour;
  return *frame_;
}

}  // namespace stagwerk
