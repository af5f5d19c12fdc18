// kq7 scene on LightWave scenes: version 3 unchanged, LightWave 5's motions
// and later versions' extra lines, each checked through the player's reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>

#include "SceneFiles.h"
#include "SceneText.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::testing {
namespace {

using ::testing::HasSubstr;

// A triangle with two morph targets and one bone.
void WriteBox(const TempDir& dir) {
  Kq7Description mesh;
  mesh.flags = HasPolygons | AllTriangles | HasMorphTargets | HasBones;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.polygons = {{0, 1, 2}};
  mesh.morphTargets = {{{0, 0, 1, 2}}, {{1, 0, 0, 1}}};
  mesh.boneVertexData = {0, 0, 0};
  mesh.polygonBones = {0};
  std::filesystem::create_directories(dir.path() / "data/Objects");
  WriteKq7File(dir / "data/Objects/Box.kq7", mesh);
}

std::string Envelope(const std::string& keys, int count, const std::string& behaviors = "1 1") {
  return "{ Envelope\n  " + std::to_string(count) + "\n" + keys + "  Behaviors " + behaviors + "\n}\n";
}

// Every shape, tension and handle, and behaviours other than constant.
const std::string kShapes = Envelope(
    "  Key 0 0 0 0.5 -0.5 0.25 0 0 0\n  Key 1.5 0.5 1 0 0 0 0.75 -0.25 0\n  Key -2 1 2 0 0 0 0.5 0.5 0\n"
    "  Key 3 1.5 5 -0.1 0.2 0.1 0.3 0 0\n  Key 3 2 4 0 0 0 0 0 0\n  Key 1e-05 2.5 3 0 0 0 0 0 0\n",
    6, "3 4");

std::string Channels9(const std::string& shaped) {
  std::string text = "NumChannels 9\n";
  for (int i = 0; i < 9; ++i) {
    text += "Channel " + std::to_string(i) + "\n" +
            (i == 0 || i == 4 ? shaped : LinearEnvelope({{i >= 6 ? 1.5f : 0.1f * i, 0}, {1.0f + i, 2}}, 2, i % 6));
  }
  return text;
}

std::string VersionThreeScene() {
  const std::string linear = Envelope("  Key 0.25 0 3 0 0 0 0 0 0\n  Key 0.75 2 3 0 0 0 0 0 0\n", 2);
  return "LWSC\n3\n\nFirstFrame 3\nLastFrame 90\nFramesPerSecond 30\nNearClipDistance 0.5\n\n"
         "LoadObjectLayer 1 Objects/Box.lwo\nShowObject 6 3\nObjectMotion\n" + Channels9(kShapes) +
         "BoneFalloffType 5\nAddBone\nBoneName Bone\nShowBone 1 -1\nBoneActive 1\nBoneRestPosition 0.5 0.25 0\n"
         "BoneRestDirection 90 45 0\nBoneRestLength 1\nScaleBoneStrength 1\nBoneStrength 1\nBoneStrengthMultiply 0\n"
         "BoneLimitedRange 0\nBoneNormalization 0\nBoneMotion\n" + Channels9(linear) + "ParentItem 10000000\n"
         "ParentItem 10000002\nPlugin MorphDeformer 1 LW_MorphMixer\n2 1\nGroup Shapes\n2\nChannels 2\n"
         "Morph 0 Target Weight\n" + linear + "EndMorph\nMorph 1 Target Weight\n" + kShapes + "EndMorph\nEndPlugin\n"
         "ObjectDissolve (envelope)\n" + linear + "PolygonSize 2\nLineThickness 2 0 0 0\nUnaffectedByFog 1\n"
         "UnseenByRays 1\nUnseenByCamera 1\nUnseenByAlphaChannel 1\nShadowOptions 7\n\n"
         "LoadObjectLayer 1 Objects/Box.lwo\nShowObject 6 3\nObjectMotion\n" + Motion9(1, 2, 3) +
         "MorphAmount (envelope)\n" + kShapes + "MorphTarget 1\nMorphSurfaces 0\nShadowOptions 7\n\n" +
         NullObject("Pivot", "ParentItem 10000001\n") +
         "AmbientColor 0.5 0.25 1\nAmbientIntensity (envelope)\n" + kShapes + "\n" +
         "AddLight\nLightName Flare\nShowLight 0 7\nLightMotion\n" + Motion6(0, 5, 0) + "ParentItem 10000002\n"
         "LightColor 1 0.5 0.25\nLightIntensity 0.8\nLightType 1\nLightFalloffType 0\nFlareIntensity (envelope)\n" +
         linear + "FlareNominalDistance 3\nFlareDissolve 0.25\nLensFlareFade 24\nShadowType 1\n\n" +
         LightBlock("Spot", "LightIntensity (envelope)\n" + linear, "LightType 2\nLightConeAngle (envelope)\n" + linear) +
         LightBlock("Sun", "LightIntensity 0.5\n", "LightType 0\n") +
         CameraBlock("ParentItem 10000002\n", "ZoomFactor (envelope)\n" + kShapes,
                     "MotionBlur 2\nFieldRendering 0\nBlurLength 0.25\n", "DepthOfField 1\nFocalDistance 0.1\n") +
         "BackdropColor 0.1 0.2 0.3\nFogType 1\nFogMinDistance 5\nFogMaxDistance (envelope)\n" + kShapes +
         "FogColor 0.5 0.5 0.5\nBGImage 1 0 0 0 \"textures/back.jpg\"\nFGImage 1 0 0 0 \"textures/back.jpg\"\n"
         "FGDissolve (envelope)\n" + linear;
}

void ExpectSame(const stagwerk::Envelope* a, const stagwerk::Envelope* b) {
  ASSERT_EQ(a == nullptr, b == nullptr);
  if (a == nullptr) return;
  ASSERT_EQ(a->count(), b->count());
  EXPECT_EQ(a->pre, b->pre);
  EXPECT_EQ(a->post, b->post);
  for (int i = 0; i < a->count(); ++i) {
    const EnvelopeKey &x = a->keys()[i], &y = b->keys()[i];
    EXPECT_EQ(std::vector<float>({x.value, x.time, x.tension, x.continuity, x.bias, x.param0, x.param1, x.param2,
                                  x.param3}),
              std::vector<float>({y.value, y.time, y.tension, y.continuity, y.bias, y.param0, y.param1, y.param2,
                                  y.param3}))
        << "key " << i;
    EXPECT_EQ(x.shape, y.shape) << "key " << i;
  }
}
void ExpectSame(const ScalarOrEnvelope& a, const ScalarOrEnvelope& b) {
  if (!a.envelope) {
    EXPECT_EQ(a.value, b.value);
  }
  ExpectSame(a.envelope.get(), b.envelope.get());
}
void ExpectSame(const ScalarOrEnvelope* a, const ScalarOrEnvelope* b) {
  ASSERT_EQ(a == nullptr, b == nullptr);
  if (a != nullptr) ExpectSame(*a, *b);
}
void ExpectSame(const SceneItem& a, const SceneItem& b) {
  ASSERT_EQ(a.motion.count(), b.motion.count());
  for (int c = 0; c < a.motion.count(); ++c) {
    SCOPED_TRACE("channel " + std::to_string(c));
    ExpectSame(&a.motion.channels[static_cast<std::size_t>(c)], &b.motion.channels[static_cast<std::size_t>(c)]);
  }
  ASSERT_EQ(a.parentRef.has_value(), b.parentRef.has_value());
  if (a.parentRef) {
    EXPECT_EQ(a.parentRef->kind, b.parentRef->kind);
    EXPECT_EQ(a.parentRef->index, b.parentRef->index);
  }
  EXPECT_EQ(a.parent != nullptr, b.parent != nullptr);
}

// Everything the player reads from a version 3 scene comes out of kq7 scene
// as it went in, key for key.
TEST(Kq7SceneLightWave, VersionThreeSceneGoesThroughUnchanged) {
  TempDir dir;
  WriteBox(dir);
  WritePicture(dir, dir / "data/textures/Flare.jpg");
  WritePicture(dir, dir / "data/textures/back.jpg");
  dir.Write("data/scenes/original.lws", VersionThreeScene());
  const ToolRun run = RunTool({"scene", "--no-meshes", "--name", "converted", dir / "data/scenes/original.lws", dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("converted 1 00:00:00:000"));
  const auto original = LoadDemoScene(dir / "data", "original");
  const auto converted = LoadDemoScene(dir / "data", "converted");
  const Scene &a = *original->scene, &b = *converted->scene;

  EXPECT_EQ(std::vector<uint32_t>({a.firstFrame, a.lastFrame, a.framesPerSecond}),
            std::vector<uint32_t>({b.firstFrame, b.lastFrame, b.framesPerSecond}));
  EXPECT_EQ(a.nearClip, b.nearClip);
  EXPECT_EQ(a.fogType, b.fogType);
  for (const auto& [x, y] : {std::pair{a.fogColor, b.fogColor}, {a.backdropColor, b.backdropColor},
                             {a.ambientColor, b.ambientColor}}) {
    EXPECT_EQ(std::vector<float>({x.red, x.green, x.blue}), std::vector<float>({y.red, y.green, y.blue}));
  }
  ExpectSame(a.fogMinDistance, b.fogMinDistance);
  ExpectSame(a.fogMaxDistance, b.fogMaxDistance);
  ExpectSame(a.ambientIntensity, b.ambientIntensity);
  ExpectSame(a.fgDissolve.get(), b.fgDissolve.get());
  ASSERT_TRUE(b.bgImage && b.fgImage);
  EXPECT_EQ(a.bgImage->path, b.bgImage->path);

  ASSERT_EQ(a.objects.count(), 3);
  ASSERT_EQ(b.objects.count(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("object " + std::to_string(i + 1));
    const SceneObject &x = *a.objects.At(static_cast<std::size_t>(i)), &y = *b.objects.At(static_cast<std::size_t>(i));
    ExpectSame(x, y);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.flags, y.flags);
    EXPECT_EQ(x.morphTargetNumber, y.morphTargetNumber);
    ExpectSame(x.dissolve.get(), y.dissolve.get());
    ExpectSame(x.polygonSize, y.polygonSize);
    ExpectSame(x.morphAmount.get(), y.morphAmount.get());
    ASSERT_EQ(x.mixerChannelCount(), y.mixerChannelCount());
    for (int c = 0; c < x.mixerChannelCount(); ++c) {
      ExpectSame(x.mixerChannels[static_cast<std::size_t>(c)].get(), y.mixerChannels[static_cast<std::size_t>(c)].get());
    }
    ASSERT_EQ(x.bones.size(), y.bones.size());
    for (std::size_t k = 0; k < x.bones.size(); ++k) {
      ExpectSame(*x.bones[k], *y.bones[k]);
      EXPECT_EQ(x.bones[k]->restPosition, y.bones[k]->restPosition);
      EXPECT_EQ(x.bones[k]->restDirection, y.bones[k]->restDirection);
    }
  }
  EXPECT_EQ(a.objects.At(0)->flags.bits, 0x7Fu & ~static_cast<uint32_t>(ObjectFlag::QuadrupleBrightness));  // every switch but x4 came through
  ASSERT_EQ(a.objects.At(0)->bones.size(), 1u);

  ASSERT_EQ(a.lights.count(), 3);
  ASSERT_EQ(b.lights.count(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("light " + std::to_string(i + 1));
    const Light &x = *a.lights.At(static_cast<std::size_t>(i)), &y = *b.lights.At(static_cast<std::size_t>(i));
    ExpectSame(x, y);
    EXPECT_EQ(x.name, y.name);
    EXPECT_EQ(x.type, y.type);
    EXPECT_EQ(x.shines, y.shines);
    EXPECT_EQ(x.color, y.color);
    ExpectSame(x.intensity, y.intensity);
    ExpectSame(x.coneAngle.get(), y.coneAngle.get());
    ExpectSame(x.flareIntensity.get(), y.flareIntensity.get());
    if (x.flareIntensity) {
      ExpectSame(x.flareDissolve, y.flareDissolve);
      ExpectSame(x.flareNominalDistance, y.flareNominalDistance);
      EXPECT_EQ(x.lensFlareFade, y.lensFlareFade);
    }
  }
  ASSERT_EQ(b.cameras.count(), 1);
  const Camera &x = *a.cameras.At(0), &y = *b.cameras.At(0);
  ExpectSame(x, y);
  ExpectSame(x.zoomFactor, y.zoomFactor);
  ExpectSame(x.blurLength.get(), y.blurLength.get());
  ExpectSame(x.focalDistance.get(), y.focalDistance.get());
}

// The player's placement of an item: T Ry(h) Rx(p) Rz(b), in double precision.
std::array<double, 16> Placement(double x, double y, double z, double h, double p, double b) {
  const double ch = std::cos(h), sh = std::sin(h), cp = std::cos(p), sp = std::sin(p), cb = std::cos(b),
               sb = std::sin(b);
  return {ch * cb + sh * sp * sb, cp * sb, -sh * cb + ch * sp * sb, 0,
          -ch * sb + sh * sp * cb, cp * cb, sh * sb + ch * sp * cb, 0,
          sh * cp, -sp, ch * cp, 0,
          x, y, z, 1};
}

std::array<double, 16> Times(const std::array<double, 16>& a, const std::array<double, 16>& b) {
  std::array<double, 16> m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[static_cast<std::size_t>(c * 4 + r)] += a[static_cast<std::size_t>(k * 4 + r)] * b[static_cast<std::size_t>(c * 4 + k)];
  return m;
}

double Difference(const Matrix4& a, const std::array<double, 16>& b) {
  double d = 0;
  for (std::size_t i = 0; i < 16; ++i) d = std::max(d, std::abs(a.m[i] - b[i]));
  return d;
}

// LightWave 5 writes keys at frames, angles in degrees and colours 0..255;
// both ways of laying out its motions come through with their keys,
// linear spans and end behaviour, under the names it gave them.
TEST(Kq7SceneLightWave, LightWaveFiveMotionsBecomeEnvelopes) {
  TempDir dir;
  dir.Write("old/Scenes/five.lws",
            "LWSC\n1\n\nFirstFrame 1\nLastFrame 50\nFramesPerSecond 25.000000\n\n"
            "AddNullObject Arm Null\nShowObject 6 7\nObjectMotion (unnamed)\n  9\n  2\n"
            "  0 0 0 90 0 0 1 1 1\n  0 0 0 0 0\n  10 0 0 180 0 0 1 1 1\n  30 1 0 0 0\nEndBehavior 2\n"
            "PivotPoint 1 0 0\nShadowOptions 7\n\n"
            "AmbientColor 255 128 0\nAmbIntensity 0.250000\n\n"
            "AddLight\nLightName Light\nShowLight 0 7\nLightMotion (unnamed)\n  6\n"
            "  1\n  0 0 0 0 0 0\n  1\n  1 0 0 0 0 0\n  1\n  2 0 0 0 0 0\n  1\n  0 0 0 0 0 0\n"
            "  1\n  45 0 0 0 0 0\n  1\n  0 0 0 0 0 0\nEndBehavior 1\nParentObject 1\n"
            "LightColor 255 51 0\nLgtIntensity (envelope)\n  1\n  2\n  0 0 1 0 0 0\n  1 30 1 0 0 0\n  EndBehavior 1\n"
            "LightType 2\nConeAngle 25\n\n"
            "ShowCamera 1 7\nCameraMotion (unnamed)\n  6\n  1\n  0 0 -10 0 0 0\n  0 0 0 0 0\nEndBehavior 1\n"
            "ZoomFactor 3.2\n");
  const ToolRun run = RunTool({"scene", dir / "old/Scenes/five.lws", dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("object 1 (Arm Null): its pivot (1 0 0) is dropped"));
  const auto loaded = LoadDemoScene(dir / "data", "five");
  Scene& scene = *loaded->scene;
  EXPECT_FLOAT_EQ(scene.sceneStart, 1.0f / 25);
  EXPECT_EQ(scene.framesPerSecond, 25u);
  EXPECT_FLOAT_EQ(scene.ambientColor.green, 128.0f / 255);
  EXPECT_FLOAT_EQ(scene.ambientIntensity.ValueAt(0), 0.25f);
  ASSERT_EQ(scene.objects.count(), 1);
  ASSERT_EQ(scene.lights.count(), 1);
  ASSERT_EQ(scene.cameras.count(), 1);
  Light& light = *scene.lights.At(0);
  EXPECT_EQ(light.parent, scene.objects.At(0));
  EXPECT_EQ(light.type, LightType::Spot);
  EXPECT_FLOAT_EQ(light.coneAngle->ValueAt(0), 25);
  EXPECT_FLOAT_EQ(light.color[1], 0.2f);
  EXPECT_FLOAT_EQ(CameraFieldOfView(*scene.cameras.At(0), 0), static_cast<float>(2 * std::atan(1 / 3.2) * 180 / M_PI));

  constexpr double kDegree = M_PI / 180;
  double worst = 0;
  // Frame 45 lies past the last key: the motion repeats from frame 15.
  for (const double frame : {0.0, 7.5, 15.0, 30.0, 45.0}) {
    SCOPED_TRACE("frame " + std::to_string(frame));
    const double f = frame > 30 ? frame - 30 : frame;
    const auto arm = Placement(f / 3, 0, 0, (90 + 3 * f) * kDegree, 0, 0);
    const auto lamp = Times(arm, Placement(0, 1, 2, 0, 45 * kDegree, 0));
    const float t = static_cast<float>(frame / 25);
    worst = std::max({worst, Difference(WorldAt(scene, *scene.objects.At(0), t), arm),
                      Difference(WorldAt(scene, light, t), lamp)});
    EXPECT_NEAR(light.intensity.ValueAt(t), std::min(frame, 30.0) / 30, 1e-6);
  }
  EXPECT_LT(worst, 1e-5);
}

// What LightWave 6 to 2020 add around the player's keywords: item ids,
// Group and IK lines between them, plugin blocks that hold keywords of
// their own. The player refuses the original and says how to convert it.
TEST(Kq7SceneLightWave, LaterVersionsReadPastWhatThePlayerDoesNotKnow) {
  TempDir dir;
  WriteBox(dir);
  WritePicture(dir, dir / "data/textures/PleaseWaitLoading.jpg");
  const std::string zoom = Envelope("  Key 3.2 0 3 0 0 0 0 0 0\n  Key 1 2 3 0 0 0 0 0 0\n", 2);
  // Two bones where the mesh has one: the player would pass over the second
  // and the object's parent with it.
  const std::string bone = "AddBone 40000000\nBoneName Bone\nShowBone 1 -1 0.376 0.878 0.125\nBoneActive 1\n"
                           "BoneRestPosition 0 0 0\nBoneRestDirection 0 0 0\nBoneMotion\n" + Motion9() +
                           "ParentItem 10000001\nBoneWeightShade 1\n";
  const std::string text =
      "LWSC\n5\n\nFirstFrame 0\nLastFrame 60\nFramesPerSecond 30\n\n"
      "AddNullObject 10000000 Base Null\nChangeObject 0\nShowObject 6 -1\nGroup 0\nObjectMotion\n" +
      Motion9(0, 1, 0) + "PathAlignLookAhead 0.033\nIKInitialState 0\n"
      "Plugin ItemMotionHandler 1 Oscillator\nObjectMotion\nNumChannels 0\nEndPlugin\nShadowOptions 7\n\n"
      "LoadObjectLayer 2 10000001 Objects/Box.lwo\nChangeObject 0\nShowObject 6 -1\nGroup 0\nObjectMotion\n" +
      Motion9(3, 0, 0) + "BoneFalloffType 5\n" + bone + bone + "ParentItem 10000000\nCtrlPosItemBlend 1\nShadowOptions 7\n\n"
      "AmbientColor 1 1 1\nAmbientIntensity 0.2\n\n"
      "AddLight 20000000\nLightName Key\nShowLight 1 -1\nGroup 0\nLightMotion\n" + Motion9(0, 4, 0) +
      "ParentItem 10000001\nLightColor 1 1 1\nLightIntensity 0.75\nAffectCaustics 1\nLightType 1\n"
      "ShadowType 1\n\nAddCamera 30000000\nCameraName Cam\nShowCamera 1 -1\nGroup 0\nCameraMotion\n" +
      Motion9(0, 0, -5) + "ParentItem 10000000\nZoomFactor (envelope)\n" + zoom + "MotionBlur 0\n";
  dir.Write("data/scenes/modern.lws", text);
  dir.Write("defaultdemoconfig.txt", "window 64 64 32 4 3 none.ogg data textures scenes show\n");
  dir.Write("data/show.txt", "modern 1 00:00:00:000\n");
  const std::string player = "cd '" + dir.path().string() +
                             "' && SDL_VIDEODRIVER=offscreen DISPLAY= ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                             dir.path().string() + "' '" STAGWERK_BINARY "' --check 2>&1";
  FILE* pipe = ::popen(player.c_str(), "r");
  std::string refusal;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) refusal.append(buffer, n);
  EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 1);
  EXPECT_THAT(refusal, HasSubstr("Loading Error: Not LW ver. 6.x\nstagwerk: 'kq7 scene' converts scenes"));

  const ToolRun same = RunTool({"scene", "--no-meshes", dir / "data/scenes/modern.lws", dir / "data"});
  EXPECT_EQ(same.status, 1);
  EXPECT_THAT(same.err, HasSubstr("would overwrite the scene it reads"));
  EXPECT_EQ(ReadFile(dir / "data/scenes/modern.lws"), text);
  const ToolRun run =
      RunTool({"scene", "--no-meshes", "--name", "modern6", dir / "data/scenes/modern.lws", dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("object 1 (Base Null): plugin Oscillator is dropped"));
  EXPECT_THAT(run.err, HasSubstr("object 2 (Objects/Box.lwo): layer 2 is asked for"));
  EXPECT_THAT(run.err, HasSubstr("object 2 (Objects/Box.lwo): its 2 bones are dropped"));
  const auto loaded = LoadDemoScene(dir / "data", "modern6");
  Scene& scene = *loaded->scene;
  ASSERT_EQ(scene.objects.count(), 2);
  SceneObject& box = *scene.objects.At(1);
  EXPECT_EQ(box.parent, scene.objects.At(0));
  EXPECT_EQ(scene.lights.At(0)->parent, &box);
  EXPECT_FLOAT_EQ(scene.lights.At(0)->intensity.ValueAt(0), 0.75f);
  EXPECT_FLOAT_EQ(scene.ambientIntensity.ValueAt(0), 0.2f);
  EXPECT_EQ(scene.cameras.At(0)->parent, scene.objects.At(0));
  EXPECT_FLOAT_EQ(scene.cameras.At(0)->zoomFactor.ValueAt(1), 2.1f);
  EXPECT_LT(Difference(WorldAt(scene, *scene.lights.At(0), 0), Placement(3, 5, 0, 0, 0, 0)), 1e-6);
}

}  // namespace
}  // namespace stagwerk::testing
