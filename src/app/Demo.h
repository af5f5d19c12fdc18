#pragma once
// Everything a demo loads, owned in one place. Members are built in this
// order and released in reverse: script, scenes, meshes, textures.
#include <functional>
#include <memory>
#include <string>

#include "anim/DataDirectories.h"
#include "app/DemoConfig.h"
#include "app/DemoScript.h"
#include "app/SettingsStore.h"
#include "objects/MeshCache.h"
#include "scene/SceneCache.h"
#include "textures/TextureCache.h"

namespace stagwerk {

struct DemoOptions {
  // A validation run neither writes the settings nor keeps pixels.
  bool validationRun = false;
  std::string settingsPath;  // empty: the per-user default
  // Told each scene name as its loading starts.
  std::function<void(const std::string&)> onSceneLoad;
};

class Demo {
 public:
  // Reads the configuration and settings, the loading picture, the script
  // and every scene, mesh and texture it names, in the player's order.
  // Throws LoadError.
  static std::unique_ptr<Demo> Load(const std::string& configPath, const DemoOptions& options);

  DemoConfig config;
  DisplaySettings display;
  std::string settingsPath;
  DataDirectories directories;
  float aspect = 0.0f;
  TextureCache textures;
  MeshCache meshes;
  SceneCache scenes;
  DemoScript script;
  Texture* loadingPicture = nullptr;

 private:
  Demo(DemoConfig config, const DemoOptions& options);
};

constexpr const char* kDefaultConfigFile = "defaultdemoconfig.txt";
constexpr const char* kLoadingPicture = "PleaseWaitLoading";

}  // namespace stagwerk
