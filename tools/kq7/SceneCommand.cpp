#include "kq7/SceneCommand.h"

#include <assimp/scene.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "kq7/CommandLine.h"
#include "kq7/MeshPictures.h"
#include "kq7/SceneListing.h"
#include "kq7/SceneOptions.h"
#include "kq7/ScenePictures.h"
#include "kq7/import/Convert.h"
#include "kq7/import/Import.h"
#include "kq7/import/Info.h"
#include "kq7/import/SkinBake.h"
#include "kq7/formats/ToolError.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "objects/Kq7Writer.h"
#include "kq7/formats/demoscene/DefaultLights.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "kq7/formats/demoscene/GltfScene.h"
#include "kq7/formats/demoscene/LightWaveScene.h"
#include "kq7/formats/demoscene/SceneEdits.h"
#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/formats/lightwave/LightWaveObject.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

const char* const kSceneUsage = R"(kq7 scene [OPTIONS] IN [DATADIR]
kq7 scene --list IN
    Reads a LightWave scene (.lws, any version from LightWave 5 on) or a
    glTF 2.0 scene (.gltf, .glb, as Blender exports them) and writes a demo
    data folder DATADIR (default: the current folder): DATADIR/scenes/NAME.lws
    in the layout the player reads, and each mesh the scene names converted
    as kq7 convert converts it into DATADIR/Objects/. Converts the pictures
    its meshes, lens flares and BGImage/FGImage name into DATADIR/textures/
    (power-of-two JPEGs, opacity in NAME.a.jpg, a backdrop with opacity as
    a TGA), lists each with what became of it, and prints the demo script
    line to add. A picture that cannot be had is dropped with a warning. A glTF file gives one scene per animation
    (NAME_ANIMATION), and a camera framing the scene when it has none.

    Objects and pictures are looked for as LightWave looks for them: as
    written; then without a drive or volume (C:, HD1:, Work:), with
    backslashes as separators, and with each leading folder dropped in turn,
    under the content folder and its Objects/, Images/ and Scenes/; a name
    without an extension also with .lwo (objects) or a picture's extension
    (.iff .lbm .tga .png .jpg .jpeg .bmp .gif). When nothing matches exactly,
    case is ignored, since the machines scenes come from ignore it. An
    object found nowhere (and not already in DATADIR/Objects) becomes a null
    of its name with its motion, parent and children, and a warning.

    --name NAME        the scene's name (default: IN's name, made one word:
                       blanks, '.', '/', '#', '"', control and non-ASCII
                       characters become '_', runs of '_' one, none at
                       either end, at most 64 characters)
    --no-meshes        write the scene only
    --content DIR      the LightWave content folder the scene's paths
                       start from (default: IN's folder and the one above)
    --fps N            glTF: frames per second of the scenes (default: the
                       rate the key times fall on, else 30)
    --no-default-lights  a scene without lights stays unlit; by default it
                       gets a key and a fill light riding on the camera and
                       some ambient light, as viewers light such a file
    --list             print what IN holds (animations, cameras, lights,
                       skins, meshes; a LightWave scene's frames, objects
                       and whether each is found, lights, cameras) and
                       write nothing
    --animation NAME   glTF: convert this animation only (its name or its
                       number from 1, as --list shows), as the scene NAME
    --camera NAME      make this camera the scene's camera 1, the one the
                       script line's 1 chooses
    An orthographic glTF camera becomes a perspective one 20 times the
    scene's size back along its view, zoomed so that the view's height at
    the scene's centre is the orthographic one.

EXIT STATUS
    0 the scene was written (warnings, such as an object that is missing
    and became a null, do not change it), 1 a file could not be read or
    written or a mesh that was found did not convert, 2 a bad command line
    (an unknown --animation or --camera name among them).
)";

namespace {

using Options = SceneOptions;

std::string WholeFileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path.string() + ": cannot open it: " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadText(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw InputError(path + ": is a folder, not a scene file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw InputError(path + ": cannot open it: " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (text.str().empty()) throw InputError(path + ": the file is empty");
  return text.str();
}

// Never over keep, the file being converted.
void WriteText(const fs::path& path, const std::string& text, const fs::path& keep) {
  std::error_code ec;
  if (fs::equivalent(path, keep, ec)) {
    throw InputError(path.string() + ": writing it would overwrite the scene it reads; give another --name or DATADIR");
  }
  fs::create_directories(path.parent_path(), ec);
  const fs::path part = path.string() + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) throw InputError(path.string() + ": cannot write it");
  }
  fs::rename(part, path, ec);
  if (ec) {
    fs::remove(part, ec);
    throw InputError(path.string() + ": cannot write it");
  }
}

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

bool GlowingObject(const fs::path& path) {
  try {
    const std::string bytes = WholeFileText(path);
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

// A mesh that was found but did not convert (kq7 convert has said why, and
// the run ends with status 1) leaves a null in its place, so the scene still
// loads and plays.
void NullUnconverted(Run& run, DemoScene& scene, const std::string& sceneName) {
  if (run.options.noMeshes) return;
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    const DemoObject& o = scene.objects[i];
    std::error_code ec;
    if (o.mesh.empty() || fs::is_regular_file(run.options.data / Kq7PathFor(o.mesh), ec)) continue;
    const std::string name = fs::path(o.mesh).stem().string();
    std::string warning = sceneName + ": object " + std::to_string(i + 1) + " (" + o.label + "): its mesh " +
                          Kq7PathFor(o.mesh) + " did not convert; it becomes the null " + name +
                          " with its motion, parent and children";
    for (const std::string& note : MakeNull(scene, i, name)) warning += "; " + note;
    run.warnings.push_back(warning);
  }
}

// The textures the scene's meshes, flares and pictures need, and where they are.
void ListTextures(Run& run, const DemoScene& scene, const std::vector<fs::path>& folders) {
  std::vector<std::string> needed;
  auto need = [&](const std::string& relative) {
    if (!relative.empty() && std::find(needed.begin(), needed.end(), relative) == needed.end()) {
      needed.push_back(relative);
    }
  };
  std::set<std::string> meshes;
  for (const DemoObject& o : scene.objects) {
    if (!o.mesh.empty()) meshes.insert(Kq7PathFor(o.mesh));
  }
  for (const std::string& mesh : meshes) {
    const fs::path path = run.options.data / mesh;
    if (!fs::exists(path)) continue;
    try {
      const Kq7File file = ReadKq7(path.string());
      for (const std::string& t : {file.mesh->textureName(), file.mesh->texture2Name(), file.environmentMap}) {
        if (!t.empty()) need("textures/" + t + ".jpg");
      }
    } catch (const LoadError&) {
      // kq7 convert has said what is wrong with it
    }
  }
  for (const DemoLight& l : scene.lights) {
    if (l.flareIntensity) need("textures/" + l.name + ".jpg");
  }
  need(scene.bgImage);
  need(scene.fgImage);
  if (needed.empty()) return;
  run.out << "textures:\n";
  for (const std::string& relative : needed) {
    const fs::path target = run.options.data / relative;
    if (const auto note = run.pictureNotes.find(relative); note != run.pictureNotes.end()) {
      run.out << "  " << relative << " " << note->second << "\n";
      continue;
    }
    if (fs::exists(target)) {
      run.out << "  " << relative << " (present)\n";
      continue;
    }
    const std::string file = fs::path(relative).filename().string();
    std::optional<fs::path> source = FindSourceFile(relative, folders);
    if (!source) source = FindSourceFile("Images/" + file, folders);
    if (source) {
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
      fs::copy_file(*source, target, ec);
      if (!ec) {
        run.out << "  " << relative << " (copied from " << source->string() << ")\n";
        continue;
      }
    }
    run.out << "  " << relative << " (missing)\n";
    run.warnings.push_back(relative + " is missing from " + run.options.data.string() +
                           ": the player needs it as a power-of-two JPEG or TGA picture");
  }
}

void LightIfDark(Run& run, DemoScene& scene, const std::string& name) {
  if (!run.options.defaultLights || !AddDefaultLights(scene)) return;
  run.out << name << ": no lights: a default key, fill and ambient light are added (--no-default-lights leaves them out)\n";
}

void ScriptLines(Run& run, const std::vector<std::string>& names) {
  run.out << "add to the demo script (" << run.options.data.string()
          << "/<script>.txt), with the music time each scene starts at:\n";
  for (const std::string& name : names) run.out << "  " << name << " 1 00:00:00:000\n";
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

// Each glTF mesh on its own, in its own space, through kq7 convert's
// conversion; assimp makes one mesh per primitive, mesh by mesh in file order.
void GltfMeshes(Run& run, const GltfFile& file, const GltfScenes& converted) {
  if (converted.meshes.empty()) return;
  const ImportedScene imported = ImportScene(run.options.in, false);
  const nlohmann::json& meshes = GltfFile::Member(file.document(), "meshes");
  std::vector<unsigned> first;
  unsigned total = 0;
  for (const nlohmann::json& mesh : meshes) {
    first.push_back(total);
    total += static_cast<unsigned>(GltfFile::Member(mesh, "primitives").size());
  }
  first.push_back(total);
  GltfTextures textures(file);
  if (total != imported.scene().mNumMeshes) {
    throw InputError(run.options.in + ": assimp read " + std::to_string(imported.scene().mNumMeshes) +
                     " meshes from the file's " + std::to_string(total) + " primitives; they cannot be told apart");
  }
  for (const GltfMeshObject& m : converted.meshes) {
    const fs::path target = run.options.data / Kq7PathFor(m.objectName);
    ConvertOptions options;
    for (unsigned i = first[m.mesh]; i < first[m.mesh + 1]; ++i) options.onlyMeshes.push_back(i);
    try {
      if (options.onlyMeshes.empty()) throw InputError(run.options.in + ": mesh " + std::to_string(m.mesh) + " has no primitives");
      const std::string what = run.options.in + " mesh " + std::to_string(m.mesh);
      const GltfTexture picture = GltfMeshTexture(textures, m.mesh, m.mesh + 1);
      options.texture = picture.name;
      Kq7Description mesh =
          m.bake >= 0 ? BakeSkinnedMesh(imported.scene(), options, converted.skins[static_cast<std::size_t>(m.bake)], what, run.warnings)
                      : ConvertScene(imported.scene(), what, options, run.warnings);
      std::ostringstream said;
      said << PlaceTexture(mesh, picture, {run.options.data / "textures", false, &run.meshPictures}, what,
                           run.warnings);
      NotePictureLines(said.str(), run.pictureNotes);
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
      const std::vector<unsigned char> bytes = WriteKq7(mesh);
      WriteText(target, std::string(bytes.begin(), bytes.end()), run.options.in);
      run.Flush();
      run.out << run.options.in << " mesh " << m.mesh << " -> " << target.string() << ": " << mesh.positions.size()
              << " vertices, " << mesh.polygons.size() << " polygons\n";
      if (m.bake >= 0) {
        run.out << target.string() << ": " << DescribeBake(converted.skins[static_cast<std::size_t>(m.bake)], mesh) << "\n";
      }
    } catch (const InputError& e) {
      run.Flush();
      run.err << "kq7: " << e.what() << "\n";
      run.status = 1;
    }
  }
}

void Gltf(Run& run) {
  const GltfFile file = GltfFile::Load(run.options.in);
  if (run.options.list) {
    ListGltf(file, run.out);
    return;
  }
  GltfSceneOptions options;
  options.name = run.options.name;
  options.fps = run.options.fps;
  if (!run.options.animation.empty()) options.animation = ChooseAnimation(file, run.options.animation);
  GltfScenes converted = ConvertGltfScenes(file, options, run.warnings);
  run.Flush();
  for (auto& [name, scene] : converted.scenes) {
    if (!run.options.camera.empty()) ChooseCamera(scene, run.options.camera, run.options.in);
  }
  // Meshes first, so a scene never names one that did not convert.
  if (!run.options.noMeshes) GltfMeshes(run, file, converted);
  std::vector<std::string> names;
  for (auto& [name, scene] : converted.scenes) {
    NullUnconverted(run, scene, name);
    LightIfDark(run, scene, name);
    const fs::path scenePath = run.options.data / "scenes" / (name + ".lws");
    WriteText(scenePath, WriteDemoScene(scene), run.options.in);
    run.out << run.options.in << " (glTF) -> " << scenePath.string() << ": " << scene.objects.size() << " objects, "
            << scene.lights.size() << " lights, " << scene.cameras.size() << " cameras, frames " << scene.firstFrame
            << " to " << scene.lastFrame << " at " << scene.framesPerSecond << " per second\n";
    names.push_back(name);
  }
  ListTextures(run, converted.scenes.front().second, {fs::path(run.options.in).parent_path()});
  run.Flush();
  ScriptLines(run, names);
}

bool IsGltf(const std::string& path, const std::string& text) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".gltf" || ext == ".glb" || text.compare(0, 4, "glTF") == 0;
}

}  // namespace

int RunSceneCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Options options = ParseSceneOptions(args);
  if (options.help) {
    out << kSceneUsage;
    return 0;
  }
  Run run{options, out, err, {}, {}, 0, {}, {}};
  if (!options.nameGiven && !options.list && options.name != fs::path(options.in).stem().string()) {
    out << "scene name: " << options.name << " (made one word from the file's name; --name gives another)\n";
  }
  try {
    const std::string text = ReadText(options.in);
    if (IsGltf(options.in, text)) {
      Gltf(run);
    } else if (text.compare(0, 4, "LWSC") == 0) {
      LightWave(run, text);
    } else {
      throw InputError(options.in + ": neither a LightWave scene (which starts with LWSC) nor a glTF file (.gltf, .glb)");
    }
  } catch (const InputError&) {
    run.Flush();
    throw;
  }
  return run.status;
}

}  // namespace stagwerk::kq7
