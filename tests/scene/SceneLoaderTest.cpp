#include "scene/SceneLoader.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/LoadError.h"
#include "objects/Kq7Writer.h"
#include "objects/MeshCache.h"
#include "textures/TextureCache.h"
#include "SceneText.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using namespace testing;

class SceneLoaderTest : public ::testing::Test {
 protected:
  SceneLoaderTest() {
    Kq7Description triangle;
    triangle.flags = HasPolygons | AllTriangles | HasMorphTargets;
    triangle.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle.polygons = {{0, 1, 2}};
    triangle.morphTargets = {{{0, 0, 1, 2}}, {{1, 0, 0, 1}}};
    std::filesystem::create_directories(dir_.path() / "Objects");
    WriteKq7File(dir_ / "Objects/Tri.kq7", triangle);
    Kq7Description boned = triangle;
    boned.flags |= HasBones;
    boned.boneVertexData = {0, 0, 0};
    boned.polygonBones = {1};  // two bones
    WriteKq7File(dir_ / "Objects/Boned.kq7", boned);
  }

  Scene& Load(const std::string& name, const std::string& text) {
    dir_.Write("scenes/" + name + ".lws", text);
    scenes_.push_back(LoadScene(name, directories_, meshes_, textures_));
    return *scenes_.back();
  }

  std::string Error(const std::string& text) {
    try {
      Load("bad", text);
    } catch (const LoadError& error) {
      return error.what();
    }
    return "no error";
  }

  static std::string Object(const std::string& file, const std::string& between = "",
                            const std::string& tail = "ShadowOptions 7\n") {
    return "LoadObjectLayer 1 " + file + "\nShowObject 6 3\nObjectMotion\n" + Motion9() + between + tail + "\n";
  }

  TempDir dir_;
  DataDirectories directories_{dir_.path().string(), "textures", "scenes"};
  TextureCache textures_{directories_};
  MeshCache meshes_{directories_, textures_};
  std::vector<std::unique_ptr<Scene>> scenes_;
};

TEST_F(SceneLoaderTest, HeaderChecks) {
  EXPECT_EQ(Error("LWS 3"), "Not LW Scene File");
  EXPECT_EQ(Error("LWSC 2"), "Not LW ver. 6.x");
  EXPECT_EQ(Error("LWSC 4"), "Not LW ver. 6.x");
  EXPECT_EQ(Error(""), "Not LW Scene File");
  EXPECT_EQ(Error("LWSC 3 FramesPerSecond 0 x"), "Scene bad: FramesPerSecond is 0");
  try {
    LoadScene("absent", directories_, meshes_, textures_);
    FAIL();
  } catch (const LoadError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot load file " + (dir_ / "scenes/absent.lws") + " from directory");
  }
}

TEST_F(SceneLoaderTest, SceneSettingsAndDefaults) {
  const Scene& bare = Load("bare", "LWSC 3");
  EXPECT_EQ(bare.framesPerSecond, 30u);
  EXPECT_FLOAT_EQ(bare.sceneStart, 1.0f / 30.0f);
  EXPECT_FLOAT_EQ(bare.sceneEnd, 2.0f);
  EXPECT_FLOAT_EQ(bare.fogMaxDistance.ValueAt(0), SceneDefaults::kFogMaxDistance);
  EXPECT_FLOAT_EQ(bare.ambientIntensity.ValueAt(0), SceneDefaults::kAmbientIntensity);
  EXPECT_EQ(bare.nearClip, 1.0f);

  const Scene& scene = Load("settings", SceneHeader(30, 90, 30) +
                                            "FogMinDistance 3\nFogType 0\nFogMinDistance 4\nFogColor 1 1 1\n"
                                            "FogMaxDistance 50\nBackdropColor 1 0 0\nBackdropColor 0 1 0\n"
                                            "AmbientColor 0.5 0.5 0.5\nAmbientIntensity 0.7\n"
                                            "NearClipDistance 0.25\nFGDissolve 0.5\nEnd x");
  EXPECT_FLOAT_EQ(scene.sceneStart, 1.0f);
  EXPECT_FLOAT_EQ(scene.sceneEnd, 3.0f);
  EXPECT_FLOAT_EQ(scene.frameDuration, 1.0f / 30.0f);
  EXPECT_EQ(scene.fogMinDistance.value, 0.0f);  // before FogType 1: ignored
  EXPECT_EQ(scene.fogColor.red, 0.0f);
  EXPECT_EQ(scene.fogMaxDistance.value, 50.0f);  // read whatever the fog type
  EXPECT_EQ(scene.backdropColor.green, 1.0f);    // the later line wins
  EXPECT_EQ(scene.backdropColor.red, 0.0f);
  EXPECT_EQ(scene.ambientColor.red, 0.5f);
  EXPECT_FLOAT_EQ(scene.ambientIntensity.value, 0.7f);
  EXPECT_EQ(scene.nearClip, 0.25f);
  ASSERT_NE(scene.fgDissolve, nullptr);

  // Pictures name their file relative to the data root, quoted.
  const std::string tga = std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x18\0", 18) + "abcdef";
  dir_.Write("pictures/back.tga", tga);
  const Scene& pictures = Load("pictures", "LWSC 3 BGImage 1 0 0 0 \"pictures/back.tga\" "
                                           "FGImage 1 0 0 0 \"pictures/back.tga\" x");
  ASSERT_NE(pictures.bgImage, nullptr);
  EXPECT_EQ(pictures.bgImage, pictures.fgImage);
  EXPECT_EQ(pictures.bgImage->width, 2);
  EXPECT_EQ(pictures.bgImage->height, 1);
  // A lone quote names no file.
  EXPECT_EQ(Error("LWSC 3 BGImage 1 0 0 0 \" x"), "Picture name \"\"\" is too short to name a file");

  const Scene& fog = Load("fog", "LWSC 3 FogType 1 FogMinDistance 4 FogColor 0.5 0.25 1 "
                                 "AmbientColor 1 1 1 LightIntensity 9 AmbientIntensity 0.9 x");
  EXPECT_EQ(fog.fogMinDistance.value, 4.0f);
  EXPECT_EQ(fog.fogColor.green, 0.25f);
  // Intensity only directly behind the colour.
  EXPECT_FLOAT_EQ(fog.ambientIntensity.value, SceneDefaults::kAmbientIntensity);
}

TEST_F(SceneLoaderTest, ItemsParentsAndMorphTargets) {
  const std::string text =
      SceneHeader() + LightBlock("Key", "LightIntensity 1\n", "LightType 1\n", "ShadowType 1\n", "ParentItem 10000001\n") +
      NullObject("Root") +
      Object("Objects/Tri.lwo", "ParentItem 10000000\n",
             "MorphAmount 0.5\nMorphTarget 3\nMorphSurfaces 0\nShadowOptions 7\n") +
      Object("Objects/Tri.lwo", "", "MorphAmount 0.25\nMorphTarget 4\nMorphSurfaces 0\nShadowOptions 7\n") +
      Object("Objects/Tri.lwo") + CameraBlock("ParentItem 10000002\n") + CameraBlock() + "End x";
  Scene& scene = Load("items", text);
  ASSERT_EQ(scene.objects.count(), 4);
  ASSERT_EQ(scene.lights.count(), 1);
  ASSERT_EQ(scene.cameras.count(), 2);
  EXPECT_EQ(scene.lights.At(0)->parent, scene.objects.At(1));  // named before it was loaded
  EXPECT_EQ(scene.objects.At(1)->parent, scene.objects.At(0));
  EXPECT_EQ(scene.objects.At(1)->morphTarget, scene.objects.At(2));
  EXPECT_EQ(scene.objects.At(2)->morphTarget, scene.objects.At(3));
  EXPECT_EQ(scene.objects.At(0)->mesh, nullptr);
  EXPECT_EQ(scene.objects.At(1)->mesh, scene.objects.At(3)->mesh);  // one mesh per file
  EXPECT_EQ(meshes_.meshes().count(), 1);
  EXPECT_EQ(scene.cameras.At(0)->parent, scene.objects.At(2));
  EXPECT_EQ(scene.shiningLights.size(), 1u);

  // The mesh is shared across scenes too.
  Load("again", SceneHeader() + Object("Objects/Tri.lwo") + "End x");
  EXPECT_EQ(meshes_.meshes().count(), 1);
}

TEST_F(SceneLoaderTest, BadReferencesAndLoopsAreRejected) {
  EXPECT_EQ(Error(SceneHeader() + NullObject("A", "ParentItem 10000005\n") + "End x"),
            "Scene bad: object 1 has parent object 6, which does not exist");
  EXPECT_EQ(Error(SceneHeader() + CameraBlock("ParentItem 20000000\n") + "End x"),
            "Scene bad: camera 1 has parent light 1, which does not exist");
  EXPECT_EQ(Error(SceneHeader() + NullObject("A", "ParentItem 10000001\n") + NullObject("B", "ParentItem 10000000\n") +
                  "End x"),
            "Scene bad: the parents of object 1 form a loop");
  EXPECT_EQ(Error(SceneHeader() + NullObject("A", "ParentItem 10000000\n") + "End x"),
            "Scene bad: the parents of object 1 form a loop");
  // A loop further up the chain is named by the first item that leads into
  // it; an object's parents are named before a later object's morph targets.
  EXPECT_EQ(Error(SceneHeader() + CameraBlock("ParentItem 20000000\n") +
                  LightBlock("L", "LightIntensity 1\n", "LightType 1\n", "ShadowType 1\n", "ParentItem 10000000\n") +
                  NullObject("A", "ParentItem 10000001\n") + NullObject("B", "ParentItem 10000000\n") + "End x"),
            "Scene bad: the parents of object 1 form a loop");
  EXPECT_EQ(Error(SceneHeader() + NullObject("A") + CameraBlock("ParentItem 30000001\n") +
                  CameraBlock("ParentItem 30000000\n") + "End x"),
            "Scene bad: the parents of camera 1 form a loop");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 3 MorphSurfaces 0 ShadowOptions 7\n") +
                  NullObject("B", "ParentItem 10000001\n") +
                  Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 1 MorphSurfaces 0\n") + "End x"),
            "Scene bad: the morph targets of object 1 form a loop");
  EXPECT_EQ(Error(SceneHeader() + NullObject("A") + NullObject("B", "ParentItem 10000001\n") +
                  Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 3 MorphSurfaces 0\n") + "End x"),
            "Scene bad: the parents of object 2 form a loop");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 9 MorphSurfaces 0\n") +
                  "End x"),
            "Scene bad: object 1 has morph target 9, which does not exist");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 2 MorphSurfaces 0 ShadowOptions 7\n") +
                  Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 1 MorphSurfaces 0\n") + "End x"),
            "Scene bad: the morph targets of object 1 form a loop");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "MorphAmount 1 MorphTarget 2 MorphSurfaces 0 ShadowOptions 7\n") +
                  NullObject("N") + "End x"),
            "Scene bad: object 1 morphs towards a null object");
  EXPECT_EQ(Error(SceneHeader() + NullObject("N", "", "MorphAmount 1\n") + "End x"),
            "Scene bad: object 1 (N): a null object cannot morph");
  // A bone parent and an unknown kind leave the item without a parent.
  Scene& scene = Load("bones", SceneHeader() + NullObject("A", "ParentItem 40000000\n") +
                                   NullObject("B", "ParentItem 70000000\n") + "End x");
  EXPECT_EQ(scene.objects.At(0)->parent, nullptr);
  EXPECT_EQ(scene.objects.At(1)->parent, nullptr);
}

TEST_F(SceneLoaderTest, MorphCopiesAreBoundedInSize) {
  // Each morphing object draws from a copy of its mesh: 786,420 bytes here.
  Kq7Description points;
  points.flags = HasMorphTargets;
  points.positions.assign(65535, {0, 0, 0});
  points.morphTargets = {{{0, 0, 1, 0}}};
  WriteKq7File(dir_ / "Objects/Points.kq7", points);
  std::string text = SceneHeader() + Object("Objects/Points.lwo");
  const std::string morphing = Object("Objects/Points.lwo", "", "MorphAmount 1 MorphTarget 1 MorphSurfaces 0 ShadowOptions 7\n");
  for (int i = 0; i < 682; ++i) text += morphing;
  EXPECT_EQ(Load("fits", text + "End x").objects.count(), 683);
  EXPECT_EQ(Error(text + morphing + "End x"),
            "Scene bad: its morphing objects need 513 MB of working copies, more than the 512 MB allowed");
}

TEST_F(SceneLoaderTest, ObjectBlocks) {
  const std::string text =
      SceneHeader() +
      NullObject("Plain", "ParentItem 10000001\n") +                                      // 1
      NullObject("Gone", "", "ObjectDissolve 1.0 ShadowOptions 7\n") +                                    // 2
      NullObject("Kept", "", "ObjectDissolve 0.9999 ShadowOptions 7\n") +                                 // 3
      NullObject("Env", "", "ObjectDissolve (envelope)\n" + LinearEnvelope({{1, 0}}) + "ShadowOptions 7\n") +  // 4
      NullObject("Double", "", "LineThickness 2 0 0 0 UnaffectedByFog 1 UnseenByRays 1 UnseenByCamera 1 "
                               "UnseenByAlphaChannel 1\n") +  // 5
      NullObject("Quad", "", "LineThickness 3 0 0 0 ShadowOptions 7\n") +  // 6
      NullObject("Order", "", "UnseenByCamera 1 UnaffectedByFog 1\n") +  // 7
      NullObject("Shadow", "", "ShadowOptions 7 UnseenByRays 1\n") +     // 8
      NullObject("Size", "", "PolygonSize 0.25 ObjectDissolve 0.5\n") +  // 9: dissolve after size is lost
      "End x";
  Scene& scene = Load("objects", text);
  ASSERT_EQ(scene.objects.count(), 9);
  auto object = [&scene](int n) -> SceneObject& { return *scene.objects.At(n - 1); };
  EXPECT_EQ(object(1).parentRef->kind, ItemRef::kObject);
  EXPECT_EQ(object(1).dissolve->value, 0.0f);
  EXPECT_EQ(object(1).polygonSize.value, 1.0f);
  EXPECT_EQ(object(1).flags, ObjectFlags{});
  EXPECT_EQ(object(2).dissolve, nullptr);
  ASSERT_NE(object(3).dissolve, nullptr);
  ASSERT_NE(object(4).dissolve, nullptr);
  EXPECT_NE(object(4).dissolve->envelope, nullptr);
  using enum ObjectFlag;
  EXPECT_EQ(object(5).flags, DoubleBrightness | Unlit | Additive | NoDepthTest | NoBlend);
  EXPECT_EQ(object(6).flags, ObjectFlags{} | QuadrupleBrightness);
  EXPECT_EQ(object(7).flags, ObjectFlags{} | NoDepthTest);  // UnaffectedByFog after UnseenByCamera is not seen
  EXPECT_EQ(object(8).flags, ObjectFlags{});
  EXPECT_EQ(object(9).polygonSize.value, 0.25f);
  EXPECT_EQ(object(9).dissolve->value, 0.0f);
  EXPECT_EQ(Error("LWSC 3 AddNullObject N ShowObject 6 3 NotMotion"), "Not ObjectMotion");
  // A block that runs into the end of the data ends there.
  Scene& tail = Load("tail", "LWSC 3 AddNullObject N ObjectMotion " + Motion9() + " Extra words");
  EXPECT_EQ(tail.objects.count(), 1);
}

TEST_F(SceneLoaderTest, MorphMixerAndBones) {
  const std::string mixer = "Plugin MorphDeformer 1 LW_MorphMixer 2 1 g x 2 a b " +
                            std::string("c d e f ") + LinearEnvelope({{0.5f, 0}}) + "z " + "c d e f " +
                            LinearEnvelope({{1, 0}}) + "z EndPlugin ";
  Scene& scene = Load("mixer", SceneHeader() + Object("Objects/Tri.lwo", "", mixer + "ShadowOptions 7\n") +
                                   Object("Objects/Tri.lwo", "", mixer + "PluginEnabled 0\nShadowOptions 7\n") +
                                   "End x");
  SceneObject& on = *scene.objects.At(0);
  EXPECT_EQ(on.flags, ObjectFlags{} | ObjectFlag::MorphMixer);
  EXPECT_EQ(on.mixerChannelCount(), 2);
  EXPECT_TRUE(on.morphs);
  SceneObject& off = *scene.objects.At(1);
  EXPECT_EQ(off.flags, ObjectFlags{});
  EXPECT_EQ(off.mixerChannelCount(), 2);
  EXPECT_TRUE(off.morphs);

  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "Plugin a b Other\n")), "Not EndoMorphMixer");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "Plugin a b LW_MorphMixer 3 0\n")),
            "Scene bad: object 1 (Objects/Tri.lwo): morph mixer has 3 channels but the mesh has 2 morph targets");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "Plugin a b LW_MorphMixer 1 1 g x 2 a b c d e f " +
                                                                   LinearEnvelope({{1, 0}}) + "z c d e f " +
                                                                   LinearEnvelope({{1, 0}}) + " z EndPlugin x\n")),
            "Scene bad: object 1 (Objects/Tri.lwo): morph mixer has more envelopes than its 1 channels");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Tri.lwo", "", "Plugin a b LW_MorphMixer 2 2147483647")),
            "Scene bad: object 1 (Objects/Tri.lwo): morph mixer data ends early");

  const std::string bone = "AddBone 1 2 3 4 5 6 7 BoneRestPosition 1 2 3 BoneRestDirection 90 45 0 "
                           "a b c d e f g h i j k l BoneMotion " + Motion9();
  Scene& boned = Load("boned", SceneHeader() + Object("Objects/Boned.lwo", "BoneFalloffType 5\n" + bone +
                                                   "ParentItem 10000000\n" + bone + "ParentItem 40000000\n") +
                                   "End x");
  SceneObject& skeleton = *boned.objects.At(0);
  ASSERT_EQ(skeleton.bones.size(), 2u);
  EXPECT_EQ(skeleton.bones[0]->parent, &skeleton);
  EXPECT_EQ(skeleton.bones[1]->parent, skeleton.bones[0].get());
  EXPECT_EQ(skeleton.bones[0]->restDirection[0], 45.0f);  // pitch
  EXPECT_EQ(skeleton.bones[0]->restDirection[1], 90.0f);  // heading
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Boned.lwo", "BoneFalloffType 5\n" + bone + "ParentItem 10000000\n")),
            "Not AddBone");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Boned.lwo", "BoneFalloffType 5\n" + bone + "ParentItem 40020000\n" +
                                                              bone + "ParentItem 40000000\n")),
            "Scene bad: object 1 (Objects/Boned.lwo): bone parent 2 does not exist");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Boned.lwo", "BoneFalloffType 5\n" + bone + "ParentItem 40010000\n" +
                                                              bone + "ParentItem 40000000\n")),
            "Scene bad: object 1 (Objects/Boned.lwo): bone parents form a loop");
  EXPECT_EQ(Error(SceneHeader() + Object("Objects/Boned.lwo", "BoneFalloffType 5\n" + bone + "Parent 1")),
            "Bone without Parent");
}

TEST_F(SceneLoaderTest, Cameras) {
  Scene& scene = Load("cameras",
                      SceneHeader() + CameraBlock("LockedChannels 0\nParentItem 10000000\n") +
                          CameraBlock("", "ZoomFactor 1.0\n", "MotionBlur 2\nFieldRendering 0\nBlurLength 0.5\n",
                                      "DepthOfField 1\nFocalDistance 2\n") +
                          CameraBlock("", "") + NullObject("N") + "End x");
  ASSERT_EQ(scene.cameras.count(), 3);
  const Camera& first = *scene.cameras.At(0);
  EXPECT_NEAR(CameraFieldOfView(first, 0), 34.7f, 0.05f);
  EXPECT_EQ(first.blurLength, nullptr);
  EXPECT_EQ(CameraBlurFade(first, 0), 1.0f);
  const Camera& second = *scene.cameras.At(1);
  EXPECT_FLOAT_EQ(CameraFieldOfView(second, 0), 90.0f);
  EXPECT_FLOAT_EQ(CameraBlurFade(second, 0), 0.5f);
  ASSERT_NE(second.focalDistance, nullptr);
  // No ZoomFactor line: LightWave's default zoom.
  EXPECT_FLOAT_EQ(scene.cameras.At(2)->zoomFactor.value, kDefaultZoomFactor);

  std::vector<int> draws{0, 32767, 16383};
  std::size_t next = 0;
  static std::vector<int>* source;
  static std::size_t* cursor;
  source = &draws;
  cursor = &next;
  auto random = [] { return (*source)[(*cursor)++ % source->size()]; };
  const std::array<float, 3> atZero = CameraShake(second, 0.0f, random);
  EXPECT_EQ(atZero, (std::array<float, 3>{0, 0, 0}));  // sin(0): no shake, three draws all the same
  EXPECT_EQ(next, 3u);
  const float t = 0.01f;
  const std::array<float, 3> shake = CameraShake(second, t, random);
  EXPECT_FLOAT_EQ(shake[0], (0 - 16383.5f) * 2.0f * std::sin(50.0f * t) * 6.103702e-05f);
  EXPECT_EQ(CameraShake(first, t, random), (std::array<float, 3>{0, 0, 0}));
  EXPECT_EQ(next, 6u);  // a camera without focal distance draws nothing

  EXPECT_EQ(Error(SceneHeader() + CameraBlock("", "ZoomFactor 1\n", "Motion 0 0 0\n")), "Not MotionBlur");
  EXPECT_EQ(Error(SceneHeader() + CameraBlock("", "ZoomFactor 1\n", "MotionBlur 2 0 0 Length 1\n")), "Not BlurLength");
  EXPECT_EQ(Error(SceneHeader() + CameraBlock("", "ZoomFactor 1\n", "MotionBlur 0 0 0\n", "DepthOfField 1 Focal 2\n")),
            "Not FocalDistance");
}

}  // namespace
}  // namespace stagwerk
