#include "lights/Light.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "textures/TextureCache.h"
#include "SceneText.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using namespace testing;

class LightTest : public ::testing::Test {
 protected:
  LightTest() {
    // The demo's flare picture stands in for every flare.
    const std::filesystem::path flare = std::filesystem::path(STAGWERK_TEST_DATA) / "../../demo/data/textures/Sun.jpg";
    std::filesystem::create_directories(dir_.path() / "textures");
    std::filesystem::copy_file(flare, dir_.path() / "textures/Flare.jpg");
  }

  // The block behind "LightName".
  std::unique_ptr<Light> Read(const std::string& block) {
    const std::string text = block.substr(block.find("LightName") + 9);
    SceneReader reader{text};
    return Light::Read(glLightCount_, flareCount_, reader, textures_);
  }

  std::string Error(const std::string& block) {
    try {
      Read(block);
    } catch (const LoadError& error) {
      return error.what();
    }
    return "no error";
  }

  TempDir dir_;
  DataDirectories directories_{dir_.path().string(), "textures", "scenes"};
  TextureCache textures_{directories_};
  int32_t glLightCount_ = 0;
  int32_t flareCount_ = 0;
};

TEST_F(LightTest, ReadsTheBlockAndTheFirstEightLitLightsShine) {
  auto key = Read(LightBlock("Key", "LightIntensity 0.8\n", "LightType 2\nLightConeAngle 30\n", "ShadowType 1\n",
                             "LockedChannels 0\nHController 1\nParentItem 10000001\nTargetItem 10000000\n"));
  EXPECT_EQ(key->name, "Key");
  EXPECT_EQ(key->type, LightType::Spot);
  EXPECT_TRUE(key->shines);
  EXPECT_EQ(key->color, (std::array<float, 4>{1.0f, 0.5f, 0.25f, 1.0f}));
  EXPECT_FLOAT_EQ(key->intensity.value, 0.8f);
  ASSERT_NE(key->coneAngle, nullptr);
  EXPECT_EQ(key->coneAngle->value, 30.0f);
  EXPECT_EQ(key->parentRef->index, 1);
  EXPECT_EQ(key->flareIntensity, nullptr);

  auto dark = Read(LightBlock("Dark", "LightIntensity 0\n"));
  EXPECT_FALSE(dark->shines);  // does not use up one of the eight
  EXPECT_EQ(dark->type, LightType::Point);
  auto dim = Read(LightBlock("Dim", "LightIntensity 0.0001\n"));
  EXPECT_TRUE(dim->shines);
  auto animated = Read(LightBlock("Animated", "LightIntensity (envelope)\n" + LinearEnvelope({{0, 0}})));
  EXPECT_TRUE(animated->shines);
  EXPECT_EQ(glLightCount_, 3);
  for (int i = 3; i < 8; ++i) Read(LightBlock("More"));
  auto ninth = Read(LightBlock("Ninth"));
  EXPECT_FALSE(ninth->shines);
  EXPECT_EQ(glLightCount_, 8);
  // A point light's cone line is passed over by the scan.
  auto point = Read(LightBlock("Point", "LightIntensity 1\n", "LightType 1\nLightConeAngle 30\n"));
  EXPECT_EQ(point->coneAngle, nullptr);
}

TEST_F(LightTest, MissingValuesGetLightWaveDefaults) {
  auto light = Read(LightBlock("Plain", "", "AffectCaustics 1\nLightType 2\n"));
  EXPECT_EQ(light->intensity.value, 1.0f);
  ASSERT_NE(light->coneAngle, nullptr);
  EXPECT_EQ(light->coneAngle->value, 30.0f);
  EXPECT_TRUE(light->shines);
  // A block that runs into the end of the data ends there, without a flare.
  auto last = Read("LightName End ShowLight 0 7 LightMotion " + Motion6() + " LightColor 1 1 1 LightType 1 More");
  EXPECT_EQ(last->flareIntensity, nullptr);
}

TEST_F(LightTest, FlaresLoadTheirPictureAndCount) {
  auto flare = Read(LightBlock("Flare", "LightIntensity 1\n", "LightType 1\n",
                               "FlareIntensity 0.5\nFlareNominalDistance 3\nFlareDissolve 0.25\nLensFlareFade 24\n"));
  ASSERT_NE(flare->flareIntensity, nullptr);
  EXPECT_EQ(flare->flareIntensity->value, 0.5f);
  EXPECT_EQ(flare->flareNominalDistance.value, 3.0f);
  EXPECT_EQ(flare->flareDissolve.value, 0.25f);
  EXPECT_EQ(flare->lensFlareFade, 24);
  ASSERT_NE(flare->flareTexture, nullptr);
  EXPECT_EQ(flare->flareTexture->width, 128);
  EXPECT_EQ(flare->flareTexture->channels, 3);  // no opacity picture beside it
  // Same name: one texture, two flares. No nominal distance: 5.
  auto again = Read(LightBlock("Flare", "LightIntensity 0\n", "LightType 1\n",
                               "FlareIntensity 1\nFlareDissolve 0\nLensFlareFade 0\n"));
  EXPECT_EQ(again->flareTexture, flare->flareTexture);
  EXPECT_EQ(again->flareNominalDistance.value, 5.0f);
  EXPECT_FALSE(again->shines);  // the flare needs no light slot
  EXPECT_EQ(flareCount_, 2);
  EXPECT_EQ(textures_.textures().count(), 1);
  // No dissolve line: LensFlareFade right away is accepted, one stray word too.
  auto bare = Read(LightBlock("Flare", "LightIntensity 1\n", "LightType 1\n", "FlareIntensity 1\nLensFlareFade 8\n"));
  EXPECT_EQ(bare->lensFlareFade, 8);
  auto stray = Read(LightBlock("Flare", "LightIntensity 1\n", "LightType 1\n", "FlareIntensity 1\nX LensFlareFade 8\n"));
  EXPECT_EQ(stray->lensFlareFade, 8);
  // ShadowType before the flare ends the block.
  auto shadowFirst = Read(LightBlock("Flare", "LightIntensity 1\n", "LightType 1\n",
                                     "ShadowType 1\nFlareIntensity 1\nLensFlareFade 8\n"));
  EXPECT_EQ(shadowFirst->flareIntensity, nullptr);
  EXPECT_EQ(Error(LightBlock("Missing", "LightIntensity 1\n", "LightType 1\n", "FlareIntensity 1\nLensFlareFade 0\n")),
            "Cannot JPEG readparams");
}

TEST_F(LightTest, MismatchesThrowTheirTexts) {
  EXPECT_EQ(Error("LightName Two Words ShowLight 0 7"), "Not ShowLight");
  EXPECT_EQ(Error("LightName L ShowLight 0 7 Motion"), "Not LightMotion");
  EXPECT_EQ(Error("LightName L ShowLight 0 7 LightMotion " + Motion6() + " Color 1 1 1"), "Lack of LightColor");
  EXPECT_EQ(Error("LightName L ShowLight 0 7 LightMotion " + Motion6() + " LightColor 1 1 1 LightIntensity 1 Type 1"),
            "Lack of LightType");
  EXPECT_EQ(Error(LightBlock("Flare", "LightIntensity 1\n", "LightType 1\n",
                             "FlareIntensity 1\nFlareDissolve 0\nLensFlare 0\n")),
            "Lack of LensFlareFade");
}

}  // namespace
}  // namespace stagwerk
