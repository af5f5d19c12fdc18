#include "app/Demo.h"

#include "scene/SceneLoader.h"

namespace stagwerk {

namespace {

DataDirectories DirectoriesOf(const DemoConfig& config) {
  return {config.rootDir.str(), config.textureDir.str(), config.sceneDir.str()};
}

}  // namespace

Demo::Demo(DemoConfig demoConfig, const DemoOptions& options)
    : config(std::move(demoConfig)),
      directories(DirectoriesOf(config)),
      aspect(config.aspect()),
      textures(directories, !options.validationRun),
      meshes(directories, textures),
      scenes([this, onSceneLoad = options.onSceneLoad](const std::string& name) {
        if (onSceneLoad) onSceneLoad(name);
        return LoadScene(name, directories, meshes, textures);
      }) {}

std::unique_ptr<Demo> Demo::Load(const std::string& configPath, const DemoOptions& options) {
  DemoConfig config = LoadDemoConfig(configPath);
  const std::string settingsPath = options.settingsPath.empty() ? SettingsStore::DefaultPath() : options.settingsPath;
  SettingsStore store(settingsPath);
  const DisplaySettings display = ResolveDisplaySettings(config, store, !options.validationRun);

  std::unique_ptr<Demo> demo(new Demo(std::move(config), options));
  demo->display = display;
  demo->settingsPath = settingsPath;
  demo->loadingPicture = &demo->textures.FindOrLoad(kLoadingPicture);
  LoadDemoScript(demo->script, demo->scenes, demo->directories.rootDir, demo->config.scriptName.str());
  return demo;
}

}  // namespace stagwerk
