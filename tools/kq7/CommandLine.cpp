#include "kq7/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "kq7/MeshPictures.h"
#include "kq7/import/Convert.h"
#include "kq7/import/Export.h"
#include "kq7/import/Import.h"
#include "kq7/import/Info.h"
#include "kq7/formats/ToolError.h"
#include "base/LoadError.h"
#include "kq7/SceneCommand.h"
#include "kq7/formats/lightwave/ObjectToKq7.h"
#include "objects/Mesh.h"

namespace stagwerk::kq7 {

const char* const kUsage = R"(NAME
    kq7 - make KQ7 meshes for the Stagwerk player, and look inside them

SYNOPSIS
    kq7 convert [OPTIONS] IN [OUT.kq7]
    kq7 convert [OPTIONS] IN...
    kq7 info [--json] FILE.kq7...
    kq7 export FILE.kq7 OUT
    kq7 scene [OPTIONS] IN [DATADIR]   (kq7 scene --help says more)
    kq7 --help | --version

DESCRIPTION
    convert  Reads IN, a LightWave object (LWO2, LWOB; read by kq7 itself:
             projection mappings become UVs, morph maps morph targets) or
             any format assimp imports (OBJ with its MTL, glTF 2.0
             .gltf/.glb, FBX, 3DS, COLLADA, PLY, STL, ...), and writes one
             KQ7 file: OUT, or IN with its extension
             replaced by .kq7, the name the player looks for. Every mesh is
             placed by its node transforms and merged into one; polygons keep
             their corners. LightWave objects keep their coordinates exactly;
             other formats are right-handed and are mirrored in Z with their
             polygons reversed, so what faced you in the modeller faces the
             player's camera. The first UV set and the first material's
             diffuse texture become the mesh's texture, named without folder
             or extension (the player adds its texture folder and .jpg);
             its picture (PNG, JPEG, TGA, BMP, GIF, PSD, IFF; a file, a data:
             URI or inside a .glb) is written there as a JPEG of power-of-two
             sides, opacity in NAME.a.jpg. One that cannot be had is dropped
             with a warning.
             Vertex colours and morph targets come along. With several INs,
             each becomes its own .kq7 beside it.
    info     Prints what the player would load from a KQ7 file: flags, counts,
             texture names, bounding box, morph targets, bones.
    export   Writes a KQ7 mesh as OBJ (with MTL), glTF 2.0 (.gltf or .glb),
             PLY or STL, chosen by OUT's extension, back in right-handed
             space for a modeller.

CONVERT OPTIONS
    -o, --output OUT   the KQ7 file to write (one IN only)
    --texture NAME     name of the first texture, instead of the material's
    --texture2 NAME    a texture for the second UV set
    --textures DIR     where the mesh's picture is written (default:
                       textures/ beside OUT's folder when that folder is
                       called Objects, else textures/ in OUT's folder)
    --no-pictures      leave pictures alone: the mesh names its texture
                       whether or not the picture is there
    --env NAME         an environment map (no UVs needed)
    --points           write a point set: vertices only, drawn as sprites
                       (their texture comes from --env or --texture2)
    --triangulate      split every polygon into triangles
    --z-up             the file's up axis is +Z (3DS, many STL files): turn
                       it to the player's +Y
    --no-weld          keep vertices apart that share a place (hard edges in
                       the player's shading); by default they are shared
    --layer N          LightWave: only layer N (as LoadObjectLayer numbers
                       it, from 1), around its pivot; by default every
                       layer, each where the modeller shows it

INFO OPTIONS
    --json             print JSON: one object, or an array for several files

EXIT STATUS
    0 done, warnings or not (a warning says what was dropped or stood in
    for something, such as a missing object a scene names); 1 a file could
    not be read, converted or written; 2 bad command line.
)";

namespace {

constexpr const char* kTry = "Try 'kq7 --help'.";

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // options with a value
  std::vector<std::string> switches;          // options without one
  bool help = false;

  bool Has(const std::string& name) const {
    return std::find(switches.begin(), switches.end(), name) != switches.end();
  }
  std::string Value(const std::string& name) const {
    const auto it = values.find(name);
    return it == values.end() ? "" : it->second;
  }
};

// Options may come anywhere among the file names; "--" ends them.
Arguments ParseArguments(const std::string& command, const std::vector<std::string>& args,
                         const std::vector<std::string>& switches, const std::vector<std::string>& withValue) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    if (arg == "-o") arg = "--output";
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (std::find(switches.begin(), switches.end(), arg) != switches.end() && !inlineValue) {
      parsed.switches.push_back(arg);
    } else if (std::find(withValue.begin(), withValue.end(), arg) != withValue.end()) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) throw UsageError("kq7 " + command + ": " + arg + " needs a value");
        inlineValue = args[++i];
      }
      if (inlineValue->empty()) throw UsageError("kq7 " + command + ": " + arg + " needs a value");
      parsed.values[arg] = *inlineValue;
    } else {
      throw UsageError("kq7 " + command + ": unknown option " + args[i]);
    }
  }
  return parsed;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool IsKq7Name(const std::string& path) { return Lower(std::filesystem::path(path).extension().string()) == ".kq7"; }

bool IsGltfName(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  return ext == ".gltf" || ext == ".glb";
}

std::string DefaultOutput(const std::string& in) {
  return std::filesystem::path(in).replace_extension(".kq7").string();
}

// Written beside the target and renamed over it, so a failed run never
// leaves half a mesh where the player looks.
void WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes) {
  const std::string temporary = path + ".part";
  if (const std::filesystem::path folder = std::filesystem::path(path).parent_path(); !folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);  // as its pictures' folder is made
  }
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::error_code ec;
      std::filesystem::remove(temporary, ec);
      throw InputError(path + ": cannot write it");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    throw InputError(path + ": cannot write it: " + ec.message());
  }
}

void PrintWarnings(const std::vector<std::string>& warnings, std::ostream& err) {
  for (const std::string& w : warnings) err << "kq7: warning: " << w << "\n";
}

// The player's own text, with the file named where the text does not.
std::string LoadFailure(const LoadError& e, const std::string& path) {
  const std::string text = e.what();
  return text.find(path) == std::string::npos ? path + ": " + text : text;
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments a = ParseArguments("convert", args, {"--points", "--triangulate", "--z-up", "--no-weld", "--no-pictures"},
                                     {"--output", "--texture", "--texture2", "--env", "--layer", "--textures"});
  if (a.help) {
    out << kUsage;
    return 0;
  }
  std::vector<std::pair<std::string, std::string>> jobs;  // in, out
  std::vector<std::string> inputs = a.positional;
  std::string output = a.Value("--output");
  if (output.empty() && inputs.size() == 2 && IsKq7Name(inputs[1]) && !IsKq7Name(inputs[0])) {
    output = inputs[1];
    inputs.pop_back();
  }
  if (inputs.empty()) throw UsageError("kq7 convert: no input file");
  if (!output.empty() && inputs.size() > 1) throw UsageError("kq7 convert: one output file for several inputs");
  for (const std::string& in : inputs) jobs.emplace_back(in, output.empty() ? DefaultOutput(in) : output);

  ConvertOptions options;
  options.points = a.Has("--points");
  options.zUp = a.Has("--z-up");
  options.weld = !a.Has("--no-weld");
  options.texture = a.Value("--texture");
  options.texture2 = a.Value("--texture2");
  options.environmentMap = a.Value("--env");
  std::optional<int> layer;
  if (const std::string n = a.Value("--layer"); !n.empty()) {
    if (n.find_first_not_of("0123456789") != std::string::npos || n.size() > 5 || std::stoi(n) < 1) {
      throw UsageError("kq7 convert: --layer needs a layer number from 1, not " + n);
    }
    layer = std::stoi(n);
  }
  for (const std::string& name : {options.texture, options.texture2, options.environmentMap}) {
    const std::string ext = Lower(std::filesystem::path(name).extension().string());
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".tga") {
      err << "kq7: warning: the texture name " << name << " ends in " << ext << "; the player adds .jpg itself\n";
    }
  }

  int status = 0;
  for (const auto& [in, outPath] : jobs) {
    try {
      std::error_code ec;
      if (std::filesystem::equivalent(in, outPath, ec)) throw InputError(in + ": converting it would overwrite it");
      ConvertOptions these = options;
      std::vector<std::string> warnings;
      Kq7Description mesh;
      GltfTexture picture;
      const bool userNamed = !options.texture.empty();
      if (lightwave::IsLightWaveObjectFile(in)) {
        mesh = lightwave::ConvertLightWaveFile(in, {these, layer, a.Has("--triangulate")}, warnings);
        if (mesh.flags & HasTexture) picture = LightWaveMeshTexture(in, mesh.textureName);
      } else {
        if (layer) warnings.push_back(in + ": --layer is for LightWave objects; the whole file is converted");
        const bool gltf = IsGltfName(in);
        if (gltf) {
          // The picture and its name from the JSON: assimp names embedded ones by number.
          const GltfFile file = GltfFile::Load(in);
          GltfTextures textures(file);
          picture = GltfMeshTexture(textures, 0, SIZE_MAX);
          if (!userNamed && !picture.name.empty()) these.texture = picture.name;
        }
        const ImportedScene imported = ImportScene(in, a.Has("--triangulate"));
        these.normalsFromFile = !imported.lightWave();
        mesh = ConvertScene(imported.scene(), in, these, warnings);
        if (!gltf && (mesh.flags & HasTexture)) picture = AssimpMeshTexture(imported.scene(), in, mesh.textureName);
      }
      const std::string textureDir = a.Value("--textures");
      const std::string pictureLine = a.Has("--no-pictures") ? "" : PlaceTexture(
          mesh, picture, {textureDir.empty() ? DefaultTextureDir(outPath) : std::filesystem::path(textureDir), userNamed, nullptr}, in,
          warnings);
      PrintWarnings(warnings, err);
      WriteFileAtomically(outPath, WriteKq7(mesh));
      out << in << " -> " << outPath << ": " << mesh.positions.size() << " vertices, " << mesh.polygons.size()
          << " polygons\n";
      if (!pictureLine.empty()) out << pictureLine << "\n";
    } catch (const InputError& e) {
      err << "kq7: " << e.what() << "\n";
      status = 1;
    }
  }
  return status;
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments a = ParseArguments("info", args, {"--json"}, {});
  if (a.help) {
    out << kUsage;
    return 0;
  }
  if (a.positional.empty()) throw UsageError("kq7 info: no KQ7 file");
  int status = 0;
  nlohmann::json all = nlohmann::json::array();
  bool first = true;
  for (const std::string& path : a.positional) {
    try {
      const Kq7File file = ReadKq7(path);
      if (a.Has("--json")) {
        all.push_back(MeshJson(file));
      } else {
        out << (first ? "" : "\n") << DescribeMesh(file);
        first = false;
      }
    } catch (const LoadError& e) {
      err << "kq7: " << LoadFailure(e, path) << "\n";
      status = 1;
    }
  }
  if (a.Has("--json") && !all.empty()) out << (a.positional.size() == 1 ? all[0] : all).dump(2) << "\n";
  return status;
}

int Export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Arguments a = ParseArguments("export", args, {}, {});
  if (a.help) {
    out << kUsage;
    return 0;
  }
  if (a.positional.size() != 2) throw UsageError("kq7 export: needs a KQ7 file and an output file");
  const std::string& in = a.positional[0];
  const std::string& outPath = a.positional[1];
  const std::string format = ExportFormatFor(outPath);
  if (format.empty()) throw UsageError("kq7 export: " + outPath + " must end in .obj, .gltf, .glb, .ply or .stl");
  try {
    const Kq7File file = ReadKq7(in);
    std::vector<std::string> warnings;
    ExportMesh(*file.mesh, outPath, format, warnings);
    PrintWarnings(warnings, err);
    out << in << " -> " << outPath << "\n";
  } catch (const LoadError& e) {
    err << "kq7: " << LoadFailure(e, in) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int RunKq7(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw UsageError("kq7: no command");
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "-h" || command == "--help" || command == "help") {
      out << kUsage;
      return 0;
    }
    if (command == "--version") {
      out << "kq7 " << STAGWERK_VERSION << "\n";
      return 0;
    }
    if (command == "convert") return Convert(rest, out, err);
    if (command == "info") return Info(rest, out, err);
    if (command == "export") return Export(rest, out, err);
    if (command == "scene") return RunSceneCommand(rest, out, err);
    throw UsageError("kq7: unknown command " + command);
  } catch (const UsageError& e) {
    err << e.what() << "\n" << kTry << "\n";
    return 2;
  } catch (const InputError& e) {
    err << "kq7: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    // Out of memory, or a failure inside assimp: still a clean exit.
    err << "kq7: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace stagwerk::kq7
