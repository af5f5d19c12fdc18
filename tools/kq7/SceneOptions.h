#pragma once
// kq7 scene's command line.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

struct SceneOptions {
  std::string in;
  std::filesystem::path data = ".";
  std::string name;
  bool nameGiven = false;  // by --name, else made from IN's name
  bool noMeshes = false;
  bool list = false;
  bool defaultLights = true;  // --no-default-lights clears it
  std::optional<std::filesystem::path> content;
  std::optional<double> fps;
  std::string animation, camera;  // empty: every animation, the file's first camera
  bool help = false;
};

// Throws UsageError for a command line that cannot run.
SceneOptions ParseSceneOptions(const std::vector<std::string>& args);

}  // namespace stagwerk::kq7
