#include "scene/Camera.h"

#include <cmath>
#include <string_view>

#include "anim/BlockReading.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace stagwerk {

std::unique_ptr<Camera> Camera::Read(SceneReader& reader) {
  auto camera = std::make_unique<Camera>();
  camera->zoomFactor.value = kDefaultZoomFactor;
  PathString token;
  auto next = [&] { reader.ReadToken(token); };

  camera->motion = ReadMotionChannels(reader);
  next();
  SkipChannelOptions(reader, token);
  if (token == "ParentItem") {
    camera->parentRef = ItemRef::Read(reader);
    next();
  }
  // Twelve tokens of frame settings follow the zoom. Without a ZoomFactor
  // line the word already read is the first of them.
  if (token == "ZoomFactor") {
    camera->zoomFactor = ReadScalarOrEnvelope(reader);
    reader.SkipTokens(12);
  } else {
    reader.SkipTokens(11);
  }
  next();
  if (!(token == "MotionBlur")) throw LoadError("Not MotionBlur");
  uint32_t motionBlur = 0;
  reader.ReadUnsigned(&motionBlur);
  reader.SkipTokens(2);
  if (motionBlur == 2) {
    next();
    if (!(token == "BlurLength")) throw LoadError("Not BlurLength");
    camera->blurLength = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
  }
  next();
  if (token == "DepthOfField") {
    uint32_t depthOfField = 0;
    reader.ReadUnsigned(&depthOfField);
    if (depthOfField == 1) {
      next();
      if (!(token == "FocalDistance")) throw LoadError("Not FocalDistance");
      camera->focalDistance = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    }
  }
  return camera;
}

float CameraFieldOfView(const Camera& camera, float t) { return FieldOfViewForZoom(camera.zoomFactor.ValueAt(t)); }

float FieldOfViewForZoom(float zoom) {
  return static_cast<float>(std::atan2(1.0, static_cast<double>(zoom)) * 114.59155902616465);
}

std::array<float, 3> CameraShake(const Camera& camera, float t, int (*random)()) {
  std::array<float, 3> offsets{};
  if (!camera.focalDistance) return offsets;
  const float w = std::sin(50.0f * t);
  for (float& offset : offsets) {
    const float f = camera.focalDistance->ValueAt(t);
    const int r = random();
    offset = (static_cast<float>(r) - 16383.5f) * f * w * 6.103702e-05f;
  }
  return offsets;
}

float CameraBlurFade(const Camera& camera, float t) {
  return camera.blurLength ? 1.0f - camera.blurLength->ValueAt(t) : 1.0f;
}

}  // namespace stagwerk
