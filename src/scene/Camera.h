#pragma once
// A scene camera and what it contributes to a frame: field of view, view
// transform, shake and blur fade.
#include <array>
#include <memory>

#include "anim/Envelope.h"
#include "anim/SceneItem.h"

namespace stagwerk {

class SceneReader;

struct Camera : SceneItem {
  std::unique_ptr<ScalarOrEnvelope> blurLength;  // only with motion blur code 2
  ScalarOrEnvelope zoomFactor;
  std::unique_ptr<ScalarOrEnvelope> focalDistance;  // only with depth of field code 1

  // Reads the block behind "CameraMotion".
  static std::unique_ptr<Camera> Read(SceneReader& reader);
};

// LightWave's zoom factor for a 50 mm lens, for blocks without "ZoomFactor".
constexpr float kDefaultZoomFactor = 3.2f;

// gluPerspective's field of view in degrees: 2 atan(1 / zoom).
float CameraFieldOfView(const Camera& camera, float t);
float FieldOfViewForZoom(float zoom);
// The shake offsets x, y, z: three draws of rand() when a focal distance is
// set (none otherwise, and no draws).
std::array<float, 3> CameraShake(const Camera& camera, float t, int (*random)());
// What the frame multiplies object colour or alpha by: 1 - blur length, or
// 1 without motion blur.
float CameraBlurFade(const Camera& camera, float t);

}  // namespace stagwerk
