#pragma once
// The demo configuration file: eleven tokens naming the display mode, size
// and depth, the picture aspect, the music file, the data directories and
// the demo script.
#include <cstdint>
#include <string>

#include "base/PathString.h"

namespace stagwerk {

class SceneReader;

struct DemoConfig {
  PathString displayMode;
  PathString rootDir;
  PathString sceneDir;
  PathString textureDir;
  PathString musicFile;
  PathString scriptName;
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;
  float aspectWidth = 0.0f;
  float aspectHeight = 0.0f;

  // "win" or "window", whole and case-sensitive, selects a window.
  bool FullscreenMode() const { return !(displayMode == "win" || displayMode == "window"); }
  float aspect() const { return aspectWidth / aspectHeight; }
};

// Reads the tokens in file order; missing tokens read as empty words and
// numbers that do not convert stay 0. Anything after the eleventh is ignored.
DemoConfig ReadDemoConfig(SceneReader& reader);
// Maps and reads the file; throws the file's LoadError.
DemoConfig LoadDemoConfig(const std::string& path);

}  // namespace stagwerk
