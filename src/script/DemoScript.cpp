#include "script/DemoScript.h"

#include <cstdlib>
#include <memory>

#include "base/LoadError.h"
#include "base/PathString.h"
#include "base/WholeFile.h"
#include "scene/Scene.h"
#include "scene/SceneCache.h"

namespace stagwerk {

namespace {

// One field by position, converted as atoi would; missing characters are
// simply not there.
int Field(std::string_view token, std::size_t position, std::size_t length) {
  if (position >= token.size()) return 0;
  const std::string field(token.substr(position, length));
  return std::atoi(field.c_str());
}

Camera* ChooseCamera(const Scene& scene, uint32_t number) {
  // Numbers 0 and 1 both choose the first camera.
  const int64_t index = number > 0 ? static_cast<int64_t>(number) - 1 : 0;
  Camera* camera = scene.cameras.At(index);
  if (camera == nullptr) {
    throw LoadError("Scene " + scene.name + " has no camera " + std::to_string(number == 0 ? 1 : number));
  }
  return camera;
}

}  // namespace

double ParseScriptTime(std::string_view token) {
  const int hours = Field(token, 0, 2);
  const int minutes = Field(token, 3, 2);
  const int seconds = Field(token, 6, 2);
  const int milliseconds = Field(token, 9, 3);
  return milliseconds * 0.001 + minutes * 60.0 + hours * 3600.0 + seconds;
}

void LoadDemoScript(DemoScript& script, SceneCache& scenes, const std::string& rootDir,
                    const std::string& scriptName) {
  PathString path(rootDir);
  path.Append("/").Append(scriptName).Append(".txt");
  WholeFile file = MapWholeFile(path.str());
  ReadDemoScript(script, scenes, file.reader());
  // Playback starts by activating the first entry: without one there is
  // nothing to play, and saying so beats an empty window.
  if (script.entries.empty()) throw LoadError("Demo script " + path.str() + " has no entries");
}

void ReadDemoScript(DemoScript& script, SceneCache& scenes, SceneReader& reader) {
  PathString name;
  PathString time;
  while (!reader.AtEnd()) {
    reader.ReadToken(name);
    // Blanks after the last entry leave no token: the script ends there.
    if (name.empty()) break;
    if (name.view().front() == '#') {
      reader.SkipTokens(name.size() == 1 ? 3 : 2);
      continue;
    }
    uint32_t cameraNumber = 0;
    reader.ReadUnsigned(&cameraNumber);
    reader.ReadToken(time);
    auto entry = std::make_unique<ScriptEntry>();
    entry->musicStart = static_cast<float>(ParseScriptTime(time.view()));
    Scene& scene = scenes.FindOrLoad(name.str());
    entry->scene = &scene;
    entry->sceneStart = scene.sceneStart;
    entry->sceneEnd = scene.sceneEnd;
    entry->camera = ChooseCamera(scene, cameraNumber);
    script.entries.Append(std::move(entry));
  }
}

}  // namespace stagwerk
