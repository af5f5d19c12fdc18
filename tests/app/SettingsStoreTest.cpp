#include "app/loading/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "script/DemoConfig.h"
#include "TempDir.h"

namespace stagwerk {
namespace {

using testing::ReadFile;
using testing::TempDir;

DemoConfig Config(std::string_view text) {
  SceneReader reader{text};
  return ReadDemoConfig(reader);
}

TEST(SettingsStore, FirstRunStoresTheConfigurationAndLaterRunsUseTheStore) {
  TempDir dir;
  const std::string path = dir / "Brelinth/Stagwerk/Ombrisalte.conf";
  SettingsStore store(path);

  DisplaySettings first = ResolveDisplaySettings(Config("win 640 480 16 4 3"), store);
  EXPECT_EQ(first.width, 640);
  EXPECT_EQ(first.height, 480);
  EXPECT_EQ(first.depth, 16);
  EXPECT_FALSE(first.FullscreenMode);
  EXPECT_EQ(ReadFile(path), "Fullscreen=0\nDepth=16\nHeight=480\nWidth=640\n");

  // The stored values win; the configuration's words have no effect.
  DisplaySettings later = ResolveDisplaySettings(Config("full 1920 1080 32 16 9"), store);
  EXPECT_EQ(later.width, 640);
  EXPECT_EQ(later.height, 480);
  EXPECT_EQ(later.depth, 16);
  EXPECT_FALSE(later.FullscreenMode);

  SettingsStore other(dir / "b.conf");
  const DisplaySettings full = ResolveDisplaySettings(Config("Window 1 1 1 1 1"), other);
  EXPECT_TRUE(full.FullscreenMode);
  EXPECT_EQ(ReadFile(dir / "b.conf").substr(0, 13), "Fullscreen=1\n");
}

TEST(SettingsStore, MissingOrUnreadableValuesAreRewrittenAndOthersKept) {
  TempDir dir;
  const std::string path = dir.Write("settings.conf",
                                     "# my settings\nFullscreen=1\nDepth=twenty\nHeight=720\nOther=x\n");
  SettingsStore store(path);
  const DisplaySettings settings = ResolveDisplaySettings(Config("win 1280 1024 24 4 3"), store);
  EXPECT_TRUE(settings.FullscreenMode);  // stored
  EXPECT_EQ(settings.depth, 24);         // unreadable: from the configuration
  EXPECT_EQ(settings.height, 720);       // stored
  EXPECT_EQ(settings.width, 1280);       // missing: from the configuration
  EXPECT_EQ(ReadFile(path), "# my settings\nFullscreen=1\nDepth=24\nHeight=720\nOther=x\nWidth=1280\n");
}

TEST(SettingsStore, ValuesAreThirtyTwoBitDecimals) {
  TempDir dir;
  const std::string path = dir.Write("s.conf",
                                     "Fullscreen = 0 \nDepth=4294967295\nHeight=-1\nWidth=4294967296\n");
  SettingsStore store(path);
  store.Open();
  EXPECT_EQ(store.Query("Fullscreen"), 0u);
  EXPECT_EQ(store.Query("Depth"), 4294967295u);
  EXPECT_EQ(store.Query("Height"), 4294967295u);
  EXPECT_EQ(store.Query("Width"), std::nullopt);
  EXPECT_EQ(store.Query("Missing"), std::nullopt);
  // Without changes nothing is written.
  const std::string before = ReadFile(path);
  store.Close();
  EXPECT_EQ(ReadFile(path), before);
}

TEST(SettingsStore, AnUnusableStoreIsReported) {
  TempDir dir;
  // The place of the file's folder is taken by a file.
  dir.Write("blocked", "");
  SettingsStore blocked(dir / "blocked/Ombrisalte.conf");
  try {
    ResolveDisplaySettings(Config("win 1 1 1 1 1"), blocked);
    FAIL() << "no error";
  } catch (const LoadError& error) {
    EXPECT_STREQ(error.what(), "Cannot use registry");
  }
  // A directory where the file should be.
  std::filesystem::create_directories(dir / "folder.conf");
  SettingsStore folder(dir / "folder.conf");
  EXPECT_THROW(ResolveDisplaySettings(Config("win 1 1 1 1 1"), folder), LoadError);
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(SettingsStore::DefaultPath(), "/tmp/xdg/Brelinth/Stagwerk/Ombrisalte.conf");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  const char* home = std::getenv("HOME");
  if (home != nullptr) {
    EXPECT_EQ(SettingsStore::DefaultPath(), std::string(home) + "/.config/Brelinth/Stagwerk/Ombrisalte.conf");
  }
  if (savedXdg) {
    ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace stagwerk
