#include "kq7/SceneCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/LoadError.h"
#include "kq7/SceneOptions.h"
#include "kq7/SceneRun.h"
#include "kq7/formats/FileBytes.h"
#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/DefaultLights.h"
#include "kq7/formats/demoscene/SceneEdits.h"
#include "kq7/formats/demoscene/SourceFiles.h"
#include "kq7/import/Info.h"

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

namespace scene {

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

}  // namespace scene

namespace {

using scene::Options;

std::string ReadText(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw InputError(path + ": is a folder, not a scene file");
  std::string text = ReadFileBytes(path);
  if (text.empty()) throw InputError(path + ": the file is empty");
  return text;
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
  scene::Run run{options, out, err, {}, {}, 0, {}, {}};
  if (!options.nameGiven && !options.list && options.name != fs::path(options.in).stem().string()) {
    out << "scene name: " << options.name << " (made one word from the file's name; --name gives another)\n";
  }
  try {
    const std::string text = ReadText(options.in);
    if (IsGltf(options.in, text)) {
      scene::Gltf(run);
    } else if (text.compare(0, 4, "LWSC") == 0) {
      scene::LightWave(run, text);
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

