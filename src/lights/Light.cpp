#include "lights/Light.h"

#include <string_view>

#include "anim/BlockReading.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "textures/TextureCache.h"

namespace stagwerk {

namespace {

// What LightWave gives a light whose block leaves them out.
constexpr float kDefaultIntensity = 1.0f;
constexpr float kDefaultConeAngle = 30.0f;
constexpr float kDefaultNominalDistance = 5.0f;

}  // namespace

std::unique_ptr<Light> Light::Read(int32_t& shiningCount, int32_t& flareCount, SceneReader& reader,
                                   TextureCache& textures) {
  auto light = std::make_unique<Light>();
  PathString token;
  auto next = [&] { reader.ReadToken(token); };

  next();
  light->name = token.str();
  next();
  if (!(token == "ShowLight")) throw LoadError("Not ShowLight");
  reader.SkipTokens(2);
  next();
  if (token == "SchematicPosition") {
    reader.SkipTokens(2);
    next();
  }
  if (!(token == "LightMotion")) throw LoadError("Not LightMotion");
  light->motion = ReadMotionChannels(reader);
  next();
  SkipChannelOptions(reader, token);
  if (token == "ParentItem") {
    light->parentRef = ItemRef::Read(reader);
    next();
  }
  if (token == "TargetItem") {
    reader.SkipToken();
    next();
  }
  if (!(token == "LightColor")) throw LoadError("Lack of LightColor");
  for (int i = 0; i < 3; ++i) reader.ReadFloat(&light->color[static_cast<std::size_t>(i)]);
  light->color[3] = 1.0f;
  next();
  // Without a LightIntensity line the light keeps full intensity and the
  // word in its place is read as what follows.
  if (token == "LightIntensity") {
    light->intensity = ReadScalarOrEnvelope(reader);
    next();
  } else {
    light->intensity.value = kDefaultIntensity;
  }
  if (token == "AffectCaustics") {
    reader.SkipToken();
    next();
  }
  if (!(token == "LightType")) throw LoadError("Lack of LightType");
  int32_t type = 0;
  reader.ReadInt(&type);
  light->type = static_cast<LightType>(type);
  if (light->type == LightType::Spot) {
    next();
    if (token == "LightConeAngle") {
      light->coneAngle = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    } else {
      light->coneAngle = std::make_unique<ScalarOrEnvelope>();
      light->coneAngle->value = kDefaultConeAngle;
    }
  }
  // The end of the data ends the block as ShadowType would.
  while (!token.empty() && !(token == "ShadowType") && !(token == "FlareIntensity")) next();

  if (token == "FlareIntensity") {
    ++flareCount;
    light->flareTexture = &textures.FindOrLoad(light->name);
    light->flareIntensity = std::make_unique<ScalarOrEnvelope>(ReadScalarOrEnvelope(reader));
    next();
    if (token == "FlareNominalDistance") {
      light->flareNominalDistance = ReadScalarOrEnvelope(reader);
      next();
    } else {
      light->flareNominalDistance.value = kDefaultNominalDistance;
    }
    if (token == "FlareDissolve") {
      light->flareDissolve = ReadScalarOrEnvelope(reader);
      next();
    } else if (!(token == "LensFlareFade")) {
      next();  // one word may stand in the dissolve's place
    }
    if (!(token == "LensFlareFade")) throw LoadError("Lack of LensFlareFade");
    reader.ReadInt(&light->lensFlareFade);
  }

  // Eight lights at most; one that is dark for the whole scene lights nothing.
  const bool dark = !light->intensity.envelope && light->intensity.value < 0.0001f;
  if (shiningCount < kMaxShiningLights && !dark) {
    light->shines = true;
    ++shiningCount;
  }
  return light;
}

}  // namespace stagwerk
