#pragma once
// Everything a demo loads, owned in one place. Members are built in this
// order and released in reverse: script, scenes, meshes, textures.
#include <functional>
#include <memory>
#include <string>

#include "base/DataDirectories.h"
#include "script/DemoConfig.h"
#include "script/DemoScript.h"
#include "app/loading/DemoSync.h"
#include "app/loading/SettingsStore.h"
#include "objects/MeshCache.h"
#include "scene/SceneCache.h"
#include "textures/TextureCache.h"

namespace stagwerk {

class Renderer;

struct DemoOptions {
  // A validation run neither writes the settings nor keeps pixels.
  bool validationRun = false;
  // Told the loading picture as soon as it is loaded, before the script.
  std::function<void(const Texture&)> onLoadingPicture;
  std::string settingsPath;  // empty: the per-user default
  // Told each scene name as its loading starts.
  std::function<void(const std::string&)> onSceneLoad;
  // Threads decoding textures while scenes load; 0: one per core. 1 loads
  // in exactly the one-thread order.
  unsigned jobs = 0;
};

class Demo {
 public:
  // Reads the configuration and settings, the loading picture, the script
  // and every scene, mesh and texture it names, in the player's order.
  // Throws LoadError.
  static std::unique_ptr<Demo> Load(const std::string& configPath, const DemoOptions& options);
  // The first half of Load: configuration, settings, empty caches. A player
  // opens its window from the display settings between the two halves.
  static std::unique_ptr<Demo> Create(const std::string& configPath, const DemoOptions& options);
  // Between the halves: each texture and mesh is made on the GPU as it
  // loads, and released with the Demo, which the renderer must outlive.
  void AttachRenderer(Renderer& renderer);
  // Instead, while loading on another thread than the renderer's: each
  // upload, and the showing of the loading picture, is handed to `post` in
  // order, to run once the renderer exists; pictures are made ready with
  // `prepare`, as that renderer would. AttachRenderer follows once the
  // handed work has run.
  using GpuWork = std::function<void(Renderer&)>;
  void HandOverGpuWork(std::function<void(GpuWork)> post, void (*prepare)(Image&));
  // The second half: the loading picture, the script, its scenes, its
  // sync tracks.
  void LoadContent();

  // Threads decoding pictures: the option, or one per core.
  unsigned jobs() const { return jobs_; }

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
  DemoSync sync;

  // The folder the script is in: its markers and sync tracks live there.
  std::string ScriptFolder() const;

 private:
  Demo(DemoConfig config, const DemoOptions& options);
  std::function<void(const Texture&)> onLoadingPicture_;
  unsigned jobs_;
};

constexpr const char* kDefaultConfigFile = "defaultdemoconfig.txt";
constexpr const char* kLoadingPicture = "PleaseWaitLoading";

}  // namespace stagwerk
