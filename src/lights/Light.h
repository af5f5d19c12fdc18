#pragma once
// A light of a scene: its channels, colour and intensity, whether it gets
// one of the eight fixed-function lights, and its lens flare.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "anim/Envelope.h"
#include "anim/SceneItem.h"

namespace stagwerk {

class SceneReader;
class TextureCache;
struct Texture;

// GL_LIGHT0; the GL layer hands glLight to glLightfv as it is.
constexpr uint32_t kGlLight0 = 0x4000;
constexpr int32_t kMaxGlLights = 8;

// GL_LIGHT0 + index for 0..7; throws "This Light does not exist" otherwise.
uint32_t LightIdFromIndex(int32_t index);

struct Light : SceneItem {
  // 0 distant, 1 point, 2 spot, other values as read; -1: no GL light.
  int32_t type = 0;
  uint32_t glLight = 0;
  Texture* flareTexture = nullptr;
  std::string name;
  // Spot cut-off in degrees; null unless the light is a spot.
  std::unique_ptr<ScalarOrEnvelope> coneAngle;
  ScalarOrEnvelope intensity;
  // Null when the light has no flare.
  std::unique_ptr<ScalarOrEnvelope> flareIntensity;
  ScalarOrEnvelope flareDissolve;
  ScalarOrEnvelope flareNominalDistance;
  std::array<float, 4> color{1.0f, 1.0f, 1.0f, 1.0f};
  int32_t lensFlareFade = 0;

  // Reads the block behind "LightName". glLightCount and flareCount are the
  // scene's counters.
  static std::unique_ptr<Light> Read(int32_t& glLightCount, int32_t& flareCount, SceneReader& reader,
                                     TextureCache& textures);
};

}  // namespace stagwerk
