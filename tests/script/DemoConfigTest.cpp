#include "script/DemoConfig.h"

#include <gtest/gtest.h>

#include "base/SceneReader.h"

namespace stagwerk {
namespace {

DemoConfig Read(std::string_view text) {
  SceneReader reader{text};
  return ReadDemoConfig(reader);
}

TEST(DemoConfig, ReadsTheElevenTokensInOrder) {
  const DemoConfig config = Read("full 800 600\n32 4 3 theme\r\ndata textures scenes intro extra tokens");
  EXPECT_EQ(config.displayMode, "full");
  EXPECT_EQ(config.width, 800);
  EXPECT_EQ(config.height, 600);
  EXPECT_EQ(config.depth, 32);
  EXPECT_FLOAT_EQ(config.aspectWidth, 4.0f);
  EXPECT_FLOAT_EQ(config.aspectHeight, 3.0f);
  EXPECT_EQ(config.musicFile, "theme");
  EXPECT_EQ(config.rootDir, "data");
  EXPECT_EQ(config.textureDir, "textures");
  EXPECT_EQ(config.sceneDir, "scenes");
  EXPECT_EQ(config.scriptName, "intro");
  EXPECT_TRUE(config.FullscreenMode());
  EXPECT_EQ(config.aspect(), 4.0f / 3.0f);
  EXPECT_FLOAT_EQ(Read("w 1 1 1 16 9").aspect(), 1.7777778f);
}

TEST(DemoConfig, MissingTokensAndNonNumbersStayEmptyOrZero) {
  const DemoConfig empty = Read("");
  EXPECT_TRUE(empty.displayMode.empty());
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.aspectHeight, 0.0f);
  EXPECT_TRUE(empty.scriptName.empty());

  const DemoConfig partial = Read("window wide 480 x 4 3 music root");
  EXPECT_EQ(partial.width, 0);
  EXPECT_EQ(partial.height, 480);
  EXPECT_EQ(partial.depth, 0);
  EXPECT_EQ(partial.rootDir, "root");
  EXPECT_TRUE(partial.textureDir.empty());
}

TEST(DemoConfig, OnlyWinAndWindowSelectAWindow) {
  EXPECT_FALSE(Read("win").FullscreenMode());
  EXPECT_FALSE(Read("window").FullscreenMode());
  EXPECT_TRUE(Read("Window").FullscreenMode());
  EXPECT_TRUE(Read("windowed").FullscreenMode());
  EXPECT_TRUE(Read("WIN").FullscreenMode());
  EXPECT_TRUE(Read("").FullscreenMode());
}

}  // namespace
}  // namespace stagwerk
