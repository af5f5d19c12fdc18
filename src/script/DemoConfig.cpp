#include "script/DemoConfig.h"

#include "base/SceneReader.h"
#include "base/WholeFile.h"

namespace stagwerk {

DemoConfig ReadDemoConfig(SceneReader& reader) {
  DemoConfig config;
  reader.ReadToken(config.displayMode);
  reader.ReadInt(&config.width);
  reader.ReadInt(&config.height);
  reader.ReadInt(&config.depth);
  reader.ReadFloat(&config.aspectWidth);
  reader.ReadFloat(&config.aspectHeight);
  reader.ReadToken(config.musicFile);
  reader.ReadToken(config.rootDir);
  reader.ReadToken(config.textureDir);
  reader.ReadToken(config.sceneDir);
  reader.ReadToken(config.scriptName);
  return config;
}

DemoConfig LoadDemoConfig(const std::string& path) {
  WholeFile file = MapWholeFile(path);
  return ReadDemoConfig(file.reader());
}

}  // namespace stagwerk
