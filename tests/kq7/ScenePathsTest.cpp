// Scenes moved between machines: object and picture paths resolved as
// LightWave resolves them, missing objects standing in as nulls, and scene
// names made one word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SceneFiles.h"
#include "SceneText.h"
#include "kq7/formats/demoscene/SceneNames.h"
#include "kq7/formats/demoscene/SourceFiles.h"

namespace stagwerk::testing {
namespace {

using ::testing::HasSubstr;
using kq7::SourceKind;

TEST(Kq7ScenePaths, FoundAsLightWaveFindsThem) {
  TempDir dir;
  for (const char* file : {"content/Objects/boxi.lwo", "content/Objects/Landscape/CloudCover.LWO",
                           "content/Objects/Box.lwo", "content/Objects/box.lwo", "content/Images/Sky.IFF",
                           "content/Scenes/intro.lws", "content/Scenes/Ship.lwo", "elsewhere/Objects/Ship.lwo"}) {
    dir.Write(file, "x");
  }
  const std::vector<std::filesystem::path> folders = {dir.path() / "content", dir.path() / "elsewhere"};
  const std::string absolute = dir / "content/Objects/boxi.lwo";
  const struct {
    std::string written;
    SourceKind kind;
    std::string found;  // under dir; empty: not found
  } cases[] = {
      {absolute, SourceKind::Object, "content/Objects/boxi.lwo"},
      {"E:LightWave/boxi.lwo", SourceKind::Object, "content/Objects/boxi.lwo"},
      {"C:\\LW\\Objects\\boxi.lwo", SourceKind::Object, "content/Objects/boxi.lwo"},
      {"\"Work:Objects/boxi.lwo\"", SourceKind::Object, "content/Objects/boxi.lwo"},
      {"HD1:atm/landscape/CloudCover", SourceKind::Object, "content/Objects/Landscape/CloudCover.LWO"},
      {"Work:boxi", SourceKind::Object, "content/Objects/boxi.lwo"},
      {"box.lwo", SourceKind::Object, "content/Objects/box.lwo"},   // the exact name before another case
      {"BOX.LWO", SourceKind::Object, "content/Objects/Box.lwo"},   // else the first in byte order
      {"Sky", SourceKind::Image, "content/Images/Sky.IFF"},
      {"X:/images/sky.iff", SourceKind::Image, "content/Images/Sky.IFF"},
      {"intro.lws", SourceKind::Any, "content/Scenes/intro.lws"},
      {"Objects/Ship.lwo", SourceKind::Object, "elsewhere/Objects/Ship.lwo"},  // the longer tail first
      {"Ship.lwo", SourceKind::Object, "content/Scenes/Ship.lwo"},            // then the folders in order
      {"boxi", SourceKind::Image, ""},
      {"Sky", SourceKind::Object, ""},
      {"E:LightWave/nothing.lwo", SourceKind::Object, ""},
      {"C:", SourceKind::Object, ""},
  };
  kq7::SourceFinder finder(folders);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    const std::optional<std::filesystem::path> found = finder.Find(c.written, c.kind);
    ASSERT_EQ(found.has_value(), !c.found.empty()) << (found ? found->string() : "");
    if (found) {
      EXPECT_TRUE(std::filesystem::equivalent(*found, dir.path() / c.found)) << found->string();
    }
  }
  EXPECT_EQ(kq7::FindSourceFile("Sky", folders, SourceKind::Image), finder.Find("Sky", SourceKind::Image));
}

TEST(Kq7ScenePaths, SceneNamesBecomeOneWord) {
  const std::pair<std::string, std::string> cases[] = {
      {"QuickDraw v.2.2", "QuickDraw_v_2_2"}, {"intro-2_final", "intro-2_final"}, {"a__b c", "a_b_c"},
      {" #1/2 ", "1_2"},  {"caf\xc3\xa9\tbar", "caf_bar"}, {"...", "scene"},  {"", "scene"},
      {std::string(70, 'x') + " y", std::string(64, 'x')},
  };
  for (const auto& [from, to] : cases) EXPECT_EQ(kq7::SceneNameFrom(from), to) << from;
  EXPECT_TRUE(kq7::IsSceneName("v.2"));
  EXPECT_FALSE(kq7::IsSceneName("a b"));
  EXPECT_FALSE(kq7::IsSceneName(std::string(65, 'x')));
}

// An object found nowhere keeps its place: its children, the light hanging
// from it and its motion stay; an object morphing towards it stops, as the
// player refuses a morph towards a null.
TEST(Kq7ScenePaths, MissingObjectBecomesANullAndTheScenePlays) {
  TempDir dir;
  Lwo2Writer lwo;
  lwo.Tags({"Default"});
  lwo.Layer();
  lwo.Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  lwo.Faces({{0, 1, 2}});
  lwo.SurfaceTags({0});
  lwo.Surface("Default");
  dir.Write("lw/Objects/BOXI.LWO", lwo.Bytes());
  const std::string object = "\nShowObject 6 3\nObjectMotion\n";
  dir.Write("lw/Scenes/Quick Draw v.2.2.lws",
            SceneHeader() + "LoadObjectLayer 1 C:\\LW\\Objects\\boxi.lwo" + object + Motion9(1, 0, 0) +
                "\nLoadObjectLayer 1 HD1:atm/landscape/CloudCover" + object + Motion9(0, 2, 0) +
                "ParentItem 10000000\n\n" + NullObject("Kid", "ParentItem 10000001\n") +
                "LoadObjectLayer 1 E:boxi.lwo" + object + Motion9() + "MorphAmount 0.5\nMorphTarget 2\n\n" +
                LightBlock("Lamp", "LightIntensity 1\n", "LightType 1\n", "ShadowType 1\n", "ParentItem 10000001\n") +
                CameraBlock());
  const ToolRun run = RunTool({"scene", "--content", dir / "lw", dir / "lw/Scenes/Quick Draw v.2.2.lws", dir / "data"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("scene name: Quick_Draw_v_2_2"));
  EXPECT_THAT(run.err, HasSubstr("object 2 (HD1:atm/landscape/CloudCover): not found, as written or under " +
                                 (dir / "lw") + ", "));
  EXPECT_THAT(run.err, HasSubstr("it becomes the null CloudCover with its motion, parent and children"));
  EXPECT_THAT(run.err, HasSubstr("object 4 (E:boxi.lwo) no longer morphs towards it"));

  const auto loaded = LoadDemoScene(dir / "data", "Quick_Draw_v_2_2");
  const Scene& scene = *loaded->scene;
  ASSERT_EQ(scene.objects.count(), 4);
  const SceneObject *box = scene.objects.At(0), *cloud = scene.objects.At(1), *kid = scene.objects.At(2);
  EXPECT_NE(box->mesh, nullptr);
  EXPECT_EQ(cloud->mesh, nullptr);
  EXPECT_EQ(cloud->name, "CloudCover");
  EXPECT_EQ(cloud->parent, box);
  EXPECT_EQ(kid->parent, cloud);
  EXPECT_EQ(scene.lights.At(0)->parent, cloud);
  EXPECT_NE(scene.objects.At(3)->mesh, nullptr);
  EXPECT_EQ(scene.objects.At(3)->morphTarget, nullptr);
  const Matrix4 world = WorldAt(scene, *kid, 0);
  EXPECT_EQ(std::vector<float>(world.m.begin() + 12, world.m.begin() + 15), std::vector<float>({1, 2, 0}));

  const ToolRun bad = RunTool({"scene", "--name", "two words", dir / "lw/Scenes/Quick Draw v.2.2.lws", dir / "data"});
  EXPECT_EQ(bad.status, 2);

  // Found but broken: status 1, and still a null the scene plays with.
  dir.Write("lw/Objects/CloudCover.lwo", "FORM\0\0\0\4LWO2");
  const ToolRun broken = RunTool({"scene", "--content", dir / "lw", dir / "lw/Scenes/Quick Draw v.2.2.lws", dir / "broken"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.err, HasSubstr("its mesh Objects/CloudCover.kq7 did not convert; it becomes the null CloudCover"));
  EXPECT_EQ(LoadDemoScene(dir / "broken", "Quick_Draw_v_2_2")->scene->objects.At(1)->mesh, nullptr);
}

}  // namespace
}  // namespace stagwerk::testing
