#include "script/DemoScript.h"

#include <gtest/gtest.h>

#include <map>

#include "base/LoadError.h"
#include "scene/SceneCache.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using testing::TempDir;

// Scenes made up by the test: cameras counted by name, frame range fixed.
struct FakeScenes {
  std::map<std::string, int> loads;
  SceneCache cache{[this](const std::string& name) {
    if (name == "broken") throw LoadError("Not LW Scene File");
    ++loads[name];
    auto scene = std::make_unique<Scene>();
    scene->name = name;
    scene->sceneStart = 1.0f;
    scene->sceneEnd = 3.0f;
    for (int i = 0; i < 3; ++i) scene->cameras.Append(std::make_unique<Camera>());
    return scene;
  }};
};

TEST(ParseScriptTime, ReadsFieldsByPosition) {
  EXPECT_DOUBLE_EQ(ParseScriptTime("00:01:05:250"), 65.25);
  EXPECT_DOUBLE_EQ(ParseScriptTime("01:00:00:000"), 3600.0);
  EXPECT_DOUBLE_EQ(ParseScriptTime("00.00.12.500"), 12.5);  // separators are not looked at
  EXPECT_DOUBLE_EQ(ParseScriptTime("00:00:31:250"), 31.25);
  // Short tokens: missing fields are 0, cut fields read what is there.
  EXPECT_DOUBLE_EQ(ParseScriptTime("00:00:01:5"), 1.005);
  EXPECT_DOUBLE_EQ(ParseScriptTime("00:02"), 120.0);
  EXPECT_DOUBLE_EQ(ParseScriptTime(""), 0.0);
  EXPECT_DOUBLE_EQ(ParseScriptTime("xx:-1:+2:1x9"), -60.0 + 2.0 + 0.001);
}

TEST(DemoScript, ReadsEntriesSkipsCommentsAndSharesScenes) {
  TempDir dir;
  dir.Write("intro.txt",
            "intro 1 00:00:00:000\r\n"
            "tunnel 2 00:00:12:500\r\n"
            "# tunnel 1 00:00:20:000\r\n"
            "#outro 3 00:00:25:000\r\n"
            "outro 0 00:00:31:250\r\n"
            "tunnel 3 00:00:40:000\r\n\r\n   \n");
  FakeScenes scenes;
  DemoScript script;
  LoadDemoScript(script, scenes.cache, dir.path().string(), "intro");

  ASSERT_EQ(script.entries.count(), 4);
  const ScriptEntry& intro = *script.entries.At(0);
  const ScriptEntry& tunnel = *script.entries.At(1);
  const ScriptEntry& outro = *script.entries.At(2);
  const ScriptEntry& tunnelAgain = *script.entries.At(3);
  EXPECT_EQ(intro.scene->name, "intro");
  EXPECT_EQ(intro.musicStart, 0.0f);
  EXPECT_EQ(intro.camera, intro.scene->cameras.At(0));
  EXPECT_EQ(tunnel.musicStart, 12.5f);
  EXPECT_EQ(tunnel.camera, tunnel.scene->cameras.At(1));
  EXPECT_EQ(outro.musicStart, 31.25f);
  EXPECT_EQ(outro.camera, outro.scene->cameras.At(0));  // 0 chooses the first camera
  EXPECT_EQ(outro.sceneStart, 1.0f);
  EXPECT_EQ(outro.sceneEnd, 3.0f);
  EXPECT_EQ(tunnelAgain.scene, tunnel.scene);
  EXPECT_EQ(tunnelAgain.camera, tunnel.scene->cameras.At(2));
  EXPECT_EQ(scenes.cache.scenes().count(), 3);
  EXPECT_EQ(scenes.loads["tunnel"], 1);
}

TEST(DemoScript, FailuresNameTheirCause) {
  TempDir dir;
  FakeScenes scenes;
  DemoScript script;
  try {
    LoadDemoScript(script, scenes.cache, dir.path().string(), "missing");
    FAIL();
  } catch (const LoadError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot load file " + (dir / "missing.txt") + " from directory");
  }

  dir.Write("cameras.txt", "intro 4 00:00:00:000");
  try {
    LoadDemoScript(script, scenes.cache, dir.path().string(), "cameras");
    FAIL();
  } catch (const LoadError& error) {
    EXPECT_STREQ(error.what(), "Scene intro has no camera 4");
  }

  // A scene that fails to load is not kept.
  dir.Write("broken.txt", "broken 1 00:00:00:000");
  EXPECT_THROW(LoadDemoScript(script, scenes.cache, dir.path().string(), "broken"), LoadError);
  for (const Scene& scene : scenes.cache.scenes()) EXPECT_NE(scene.name, "broken");
}

TEST(DemoScript, EmptyScriptAndTruncatedEntries) {
  TempDir dir;
  FakeScenes scenes;
  DemoScript script;
  // Nothing to play is refused at load, whether the file is blank or every
  // entry is commented out (one running into the end of the data).
  for (const char* text : {"\n\n", "# a", "#intro 1 00:00:00:000\n# tunnel 2 00:00:01:000\n"}) {
    dir.Write("empty.txt", text);
    try {
      LoadDemoScript(script, scenes.cache, dir.path().string(), "empty");
      FAIL() << text;
    } catch (const LoadError& error) {
      EXPECT_EQ(std::string(error.what()), "Demo script " + (dir / "empty.txt") + " has no entries");
    }
  }
  EXPECT_EQ(script.entries.count(), 0);

  dir.Write("short.txt", "intro");  // no camera, no time: first camera at 0 s
  LoadDemoScript(script, scenes.cache, dir.path().string(), "short");
  ASSERT_EQ(script.entries.count(), 1);
  EXPECT_EQ(script.entries.At(0)->musicStart, 0.0f);
}

}  // namespace
}  // namespace stagwerk
