// kq7 scene from a LightWave scene: its objects looked for as LightWave
// looks, converted one by one as kq7 convert converts them.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "base/LoadError.h"
#include "kq7/CommandLine.h"
#include "kq7/SceneListing.h"
#include "kq7/ScenePictures.h"
#include "kq7/SceneRun.h"
#include "kq7/formats/FileBytes.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "kq7/formats/demoscene/LightWaveScene.h"
#include "kq7/formats/demoscene/SceneEdits.h"
#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/formats/lightwave/LightWaveObject.h"
#include "kq7/import/Info.h"

namespace stagwerk::kq7::scene {

namespace fs = std::filesystem;

namespace {

// One name per source file, two sources never sharing one.
class ObjectNames {
 public:
  std::string For(const std::string& written) {
    if (const auto it = byWritten_.find(written); it != byWritten_.end()) return it->second;
    std::string name = ObjectName(written);
    for (int n = 2; used_.count(name) != 0; ++n) {
      const std::string base = ObjectName(written);
      name = base.substr(0, base.size() - 4) + "_" + std::to_string(n) + base.substr(base.size() - 4);
    }
    used_.insert(name);
    byWritten_[written] = name;
    return name;
  }
  const std::map<std::string, std::string>& all() const { return byWritten_; }

 private:
  std::map<std::string, std::string> byWritten_;
  std::set<std::string> used_;
};

bool GlowingObject(const fs::path& path) {
  try {
    const std::string bytes = ReadFileBytes(path);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (!lightwave::IsLightWaveObject(data, bytes.size())) return false;
    return lightwave::LuminousObject(lightwave::ReadLightWaveObject(data, bytes.size(), path.string()));
  } catch (const InputError&) {
    return false;  // kq7 convert has said what is wrong with it
  }
}

// Converts every mesh through kq7 convert, as a user would one by one.
void ConvertMeshes(Run& run, const std::map<std::string, fs::path>& sources) {
  for (const auto& [name, source] : sources) {
    const fs::path target = run.options.data / Kq7PathFor(name);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    std::ostringstream said;
    const std::string textures = (run.options.data / "textures").string();
    if (RunKq7({"convert", "--textures", textures, source.string(), target.string()}, said, run.err) != 0) {
      run.status = 1;
    }
    run.out << said.str();
    for (const std::string& clash : NotePictureLines(said.str(), run.pictureNotes)) run.warnings.push_back(run.options.in + ": " + clash);
    if (GlowingObject(source)) run.glowing.insert(name);
  }
}

// The player's unlit objects stand for glowing ones.
void DrawGlowingUnlit(Run& run, DemoScene& scene) {
  for (DemoObject& o : scene.objects) {
    if (!o.mesh.empty() && run.glowing.count(o.mesh) != 0) o.unaffectedByFog = true;
  }
}

// Names every object as the player finds it and looks for its source as
// LightWave would. One found nowhere and not converted before into DATADIR
// becomes a null, so the scene still plays. Returns name -> source.
std::map<std::string, fs::path> FindObjects(Run& run, DemoScene& scene, SourceFinder& finder) {
  ObjectNames names;
  std::map<std::string, fs::path> sources;
  std::map<std::string, std::string> nulls;  // object name -> the null's name
  std::set<std::string> used;
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    DemoObject& o = scene.objects[i];
    if (o.mesh.empty()) continue;
    const std::string written = o.mesh;
    o.mesh = names.For(written);
    const std::string label = "object " + std::to_string(i + 1) + " (" + o.label + ")";
    if (sources.count(o.mesh) != 0) continue;
    if (nulls.count(o.mesh) == 0) {
      if (const std::optional<fs::path> source = finder.Find(written, SourceKind::Object)) {
        sources[o.mesh] = *source;
        continue;
      }
      std::error_code ec;
      if (fs::is_regular_file(run.options.data / Kq7PathFor(o.mesh), ec)) {
        if (!used.insert(o.mesh).second) continue;
        run.warnings.push_back(run.options.in + ": " + label + ": its source is not found under " + finder.Places() +
                               "; the " + Kq7PathFor(o.mesh) + " already in " + run.options.data.string() + " is used");
        continue;
      }
      std::string name = fs::path(o.mesh).stem().string();
      for (int n = 2; used.count(name) != 0; ++n) name = fs::path(o.mesh).stem().string() + "_" + std::to_string(n);
      used.insert(name);
      nulls[o.mesh] = name;
    }
    const std::string name = nulls[o.mesh];
    std::string warning = run.options.in + ": " + label + ": not found, as written or under " +
                          finder.Places() + "; it becomes the null " + name +
                          " with its motion, parent and children (name the content folder with --content DIR)";
    for (const std::string& note : MakeNull(scene, i, name)) warning += "; " + note;
    run.warnings.push_back(warning);
  }
  return sources;
}

// The player reads as many bone blocks as the object's mesh has bones, and
// passes over the rest with the object's parent among them: bones that do
// not match the mesh are dropped.
void MatchBones(Run& run, DemoScene& scene) {
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    DemoObject& o = scene.objects[i];
    const fs::path mesh = run.options.data / Kq7PathFor(o.mesh);
    if (o.bones.empty() || !fs::exists(mesh)) continue;
    try {
      const std::size_t count = static_cast<std::size_t>(ReadKq7(mesh.string()).mesh->boneCount());
      if (count == o.bones.size()) continue;
      run.warnings.push_back(run.options.in + ": object " + std::to_string(i + 1) + " (" + o.label + "): its " +
                             std::to_string(o.bones.size()) + " bones are dropped: its mesh " + Kq7PathFor(o.mesh) +
                             " has " + std::to_string(count));
      o.bones.clear();
      o.boneFalloff.reset();
    } catch (const LoadError&) {
      // kq7 convert has said what is wrong with the mesh
    }
  }
}

}  // namespace

void LightWave(Run& run, const std::string& text) {
  LightWaveScene source = ReadLightWaveScene(text, run.options.in, run.warnings);
  const std::vector<fs::path> folders = SearchFolders(run.options.in, run.options.content);
  SourceFinder finder(folders);
  if (run.options.list) {
    run.warnings.clear();
    ListLightWave(source, run.options.in, finder, run.out);
    return;
  }
  run.Flush();
  if (!run.options.animation.empty()) {
    throw UsageError("kq7 scene: --animation chooses among a glTF file's animations; " + run.options.in +
                     " is a LightWave scene");
  }
  if (!run.options.camera.empty()) ChooseCamera(source.scene, run.options.camera, run.options.in);
  const std::map<std::string, fs::path> sources = FindObjects(run, source.scene, finder);
  run.Flush();
  if (!run.options.noMeshes) ConvertMeshes(run, sources);
  NullUnconverted(run, source.scene, run.options.name);
  MatchBones(run, source.scene);
  DrawGlowingUnlit(run, source.scene);
  PrepareScenePictures(source.scene, run.options.data, folders, run.options.in, run.pictureNotes, run.warnings);
  LightIfDark(run, source.scene, run.options.name);
  const fs::path scenePath = run.options.data / "scenes" / (run.options.name + ".lws");
  WriteText(scenePath, WriteDemoScene(source.scene), run.options.in);
  run.out << run.options.in << " (LightWave scene, version " << source.version << ") -> " << scenePath.string()
          << ": " << source.scene.objects.size() << " objects, " << source.scene.lights.size() << " lights, "
          << source.scene.cameras.size() << " cameras\n";
  ListTextures(run, source.scene, folders);
  run.Flush();
  ScriptLines(run, {run.options.name});
}

}  // namespace stagwerk::kq7::scene
