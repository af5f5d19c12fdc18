#include "app/Demo.h"

#include "objects/MeshDrawing.h"
#include "scene/SceneLoader.h"
#include "textures/TextureUpload.h"

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
      textures(directories, !options.validationRun && !options.graphics),
      meshes(directories, textures),
      scenes([this, onSceneLoad = options.onSceneLoad](const std::string& name) {
        if (onSceneLoad) onSceneLoad(name);
        return LoadScene(name, directories, meshes, textures);
      }),
      onLoadingPicture_(options.onLoadingPicture) {
  if (options.graphics) {
    textures.SetHooks(GlTextureHooks());
    meshes.SetHooks(GlMeshHooks());
  }
}

std::unique_ptr<Demo> Demo::Load(const std::string& configPath, const DemoOptions& options) {
  std::unique_ptr<Demo> demo = Create(configPath, options);
  demo->LoadContent();
  return demo;
}

std::unique_ptr<Demo> Demo::Create(const std::string& configPath, const DemoOptions& options) {
  DemoConfig config = LoadDemoConfig(configPath);
  const std::string settingsPath = options.settingsPath.empty() ? SettingsStore::DefaultPath() : options.settingsPath;
  SettingsStore store(settingsPath);
  const DisplaySettings display = ResolveDisplaySettings(config, store, !options.validationRun);

  std::unique_ptr<Demo> demo(new Demo(std::move(config), options));
  demo->display = display;
  demo->settingsPath = settingsPath;
  return demo;
}

void Demo::LoadContent() {
  loadingPicture = &textures.FindOrLoad(kLoadingPicture);
  if (onLoadingPicture_) onLoadingPicture_(*loadingPicture);
  LoadDemoScript(script, scenes, directories.rootDir, config.scriptName.str());
}

}  // namespace stagwerk
