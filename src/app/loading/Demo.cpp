#include "app/loading/Demo.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <thread>

#include "app/loading/LoadingHeap.h"
#include "frame/Renderer.h"
#include "scene/Scene.h"
#include "scene/SceneLoader.h"

namespace stagwerk {

namespace {

// What the driver takes for two large textures (a 1024 x 1024 one with its
// mipmaps is about 5.6 MB): made resident on the decoding threads while
// loading beside the context, so the GL thread's uploads fault in little.
// Below the heap's mmap threshold, or the block would be a mapping of its
// own, populated and unmapped for nothing.
constexpr std::size_t kPrefaultAhead = std::size_t{12} << 20;

void MakeTexture(Renderer& renderer, Texture& texture, const Image& image) {
  texture.renderHandle = renderer.CreateTexture(texture, image);
  LoadingHeap::Grew();
}

// An AllTriangles mesh without polygons gets one too, as it always did.
void MakeMesh(Renderer& renderer, Mesh& mesh) {
  if (mesh.Has(HasPolygons) || mesh.Has(AllTriangles)) mesh.renderHandle = renderer.CreateMesh(mesh);
  LoadingHeap::Grew();
}

TextureHooks TexturesFor(Renderer& renderer) {
  return {[&renderer](Texture& texture, const Image& image) { MakeTexture(renderer, texture, image); },
          [&renderer](Texture& texture) {
            renderer.ReleaseTexture(texture.renderHandle);
            texture.renderHandle = 0;
          },
          [&renderer](Image& image) { renderer.PrepareTexture(image); }};
}

MeshHooks MeshesFor(Renderer& renderer) {
  return {[&renderer](Mesh& mesh) { MakeMesh(renderer, mesh); },
          [&renderer](Mesh& mesh) {
            renderer.ReleaseMesh(mesh.renderHandle);
            mesh.renderHandle = 0;
          }};
}

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
      }),
      onLoadingPicture_(options.onLoadingPicture),
      jobs_(options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency())) {}

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

void Demo::AttachRenderer(Renderer& renderer) {
  textures.SetHooks(TexturesFor(renderer));
  textures.SetKeepPixels(false);  // the renderer has them
  meshes.SetHooks(MeshesFor(renderer));
}

void Demo::HandOverGpuWork(std::function<void(GpuWork)> post, void (*prepare)(Image&)) {
  textures.SetHooks({[post](Texture& texture, Image& image) {
                       post([&texture, picture = std::move(image)](Renderer& renderer) {
                         MakeTexture(renderer, texture, picture);
                       });
                     },
                     nullptr,
                     [prepare](Image& image) {
                       prepare(image);
                       LoadingHeap::Prefault(kPrefaultAhead);
                     }});
  textures.SetKeepPixels(false);
  meshes.SetHooks({[post](Mesh& mesh) {
                     post([&mesh](Renderer& renderer) { MakeMesh(renderer, mesh); });
                   },
                   nullptr});
  if (onLoadingPicture_) {
    onLoadingPicture_ = [post, show = onLoadingPicture_](const Texture& picture) {
      post([show, &picture](Renderer&) { show(picture); });
    };
  }
}

void Demo::LoadContent() {
  const LoadingHeap heap;
  loadingPicture = &textures.FindOrLoad(kLoadingPicture);
  if (onLoadingPicture_) onLoadingPicture_(*loadingPicture);
  // The picture above is shown before any worker starts; the rest decode
  // while the scenes are read.
  textures.StartWorkers(jobs_);
  try {
    LoadDemoScript(script, scenes, directories.rootDir, config.scriptName.str());
  } catch (...) {
    textures.Finish();  // a texture asked for before this failure reports first
    throw;
  }
  textures.Finish();
  std::vector<const Scene*> loaded;
  for (const Scene& scene : scenes.scenes()) loaded.push_back(&scene);
  sync = LoadDemoSync(ScriptFolder(), loaded);
}

std::string Demo::ScriptFolder() const {
  const std::string script = directories.rootDir + "/" + config.scriptName.str() + ".txt";
  return std::filesystem::path(script).parent_path().string();
}

}  // namespace stagwerk
