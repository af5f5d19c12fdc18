#pragma once
// A light of a scene: its channels, colour and intensity, whether it is one
// of the eight that light objects, and its lens flare.
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

// How many lights can light objects at once.
constexpr int32_t kMaxShiningLights = 8;

// "LightType" as read; values beyond these are kept and shine as points
// whose cone an earlier spot may have left.
enum class LightType : int32_t { Distant = 0, Point = 1, Spot = 2 };

struct Light : SceneItem {
  LightType type = LightType::Distant;
  // One of the first eight lights with an intensity: it lights objects.
  bool shines = false;
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

  // Reads the block behind "LightName". shiningCount and flareCount are the
  // scene's counters.
  static std::unique_ptr<Light> Read(int32_t& shiningCount, int32_t& flareCount, SceneReader& reader,
                                     TextureCache& textures);
};

}  // namespace stagwerk
