#pragma once
// The demo's data directories from the configuration: every loader builds its
// paths from these with "/" as separator.
#include <string>

namespace stagwerk {

struct DataDirectories {
  std::string rootDir;
  std::string textureDir;
  std::string sceneDir;
};

}  // namespace stagwerk
