#include "kq7/SceneOptions.h"

#include <cmath>
#include <cstdlib>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/SceneNames.h"

namespace stagwerk::kq7 {

namespace fs = std::filesystem;

namespace {

double ParseFps(const std::string& text) {
  char* end = nullptr;
  const double fps = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(fps >= 1 && fps <= 1000) || fps != std::round(fps)) {
    throw UsageError("kq7 scene: --fps needs a whole number of frames per second, 1 to 1000");
  }
  return fps;
}

void Positional(SceneOptions& o, const std::vector<std::string>& positional) {
  if (positional.empty()) throw UsageError("kq7 scene: no scene file");
  if (o.list && positional.size() > 1) throw UsageError("kq7 scene: --list reads one scene file and writes nothing");
  if (positional.size() > 2) throw UsageError("kq7 scene: one scene file and one data folder");
  o.in = positional[0];
  if (positional.size() == 2) o.data = positional[1];
}

}  // namespace

SceneOptions ParseSceneOptions(const std::vector<std::string>& args) {
  SceneOptions o;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    auto take = [&]() {
      if (!value) {
        if (i + 1 >= args.size()) throw UsageError("kq7 scene: " + arg + " needs a value");
        value = args[++i];
      }
      if (value->empty()) throw UsageError("kq7 scene: " + arg + " needs a value");
      return *value;
    };
    if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--no-meshes" || arg == "--list") {
      (arg == "--list" ? o.list : o.noMeshes) = true;
    } else if (arg == "--no-default-lights") {
      o.defaultLights = false;
    } else if (arg == "--name") {
      o.name = take();
      o.nameGiven = true;
    } else if (arg == "--content") {
      o.content = take();
    } else if (arg == "--animation") {
      o.animation = take();
    } else if (arg == "--camera") {
      o.camera = take();
    } else if (arg == "--fps") {
      o.fps = ParseFps(take());
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("kq7 scene: unknown option " + args[i]);
    } else {
      positional.push_back(arg);
    }
  }
  if (o.help) return o;
  Positional(o, positional);
  if (!o.nameGiven) o.name = SceneNameFrom(fs::path(o.in).stem().string());
  if (!IsSceneName(o.name)) {
    throw UsageError("kq7 scene: the scene name \"" + o.name + "\" must be one word of at most " +
                     std::to_string(kMaxSceneName) + " characters without / # or \"");
  }
  return o;
}

}  // namespace stagwerk::kq7
