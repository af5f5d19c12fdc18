#pragma once
// What one kq7 scene run shares between its files: the options, the output
// streams, the warnings not yet printed, and what became of each picture.
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "kq7/SceneOptions.h"
#include "kq7/formats/demoscene/DemoScene.h"
#include "kq7/formats/pictures/TextureFiles.h"

namespace stagwerk::kq7::scene {

using Options = SceneOptions;

struct Run {
  const Options& options;
  std::ostream& out;
  std::ostream& err;
  std::vector<std::string> warnings;
  std::set<std::string> glowing;  // object names whose surfaces all glow
  int status = 0;
  std::map<std::string, std::string> pictureNotes;  // what became of each picture, by its path under data
  std::map<std::string, PictureOutcome> meshPictures;

  void Flush() {
    for (const std::string& w : warnings) err << "kq7: warning: " << w << "\n";
    warnings.clear();
  }
};

// Never over keep, the file being converted.
void WriteText(const std::filesystem::path& path, const std::string& text, const std::filesystem::path& keep);

// The textures the scene's meshes, flares and pictures need, and where they are.
void ListTextures(Run& run, const DemoScene& scene, const std::vector<std::filesystem::path>& folders);

// The default rig for a scene without lights, unless asked not to.
void LightIfDark(Run& run, DemoScene& scene, const std::string& name);

// Objects whose mesh did not convert become nulls.
void NullUnconverted(Run& run, DemoScene& scene, const std::string& sceneName);

void ScriptLines(Run& run, const std::vector<std::string>& names);

// The two sources: a LightWave scene's text, a glTF file.
void LightWave(Run& run, const std::string& text);
void Gltf(Run& run);

}  // namespace stagwerk::kq7::scene
