#pragma once
// The demo script: which scene plays with which camera from which music time.
#include <string>
#include <string_view>

#include "base/PointerList.h"

namespace stagwerk {

class SceneReader;
struct Scene;
struct Camera;
class SceneCache;

struct ScriptEntry {
  Scene* scene = nullptr;
  float musicStart = 0.0f;
  float sceneStart = 0.0f;
  float sceneEnd = 0.0f;
  Camera* camera = nullptr;
};

// The music time at which an entry shows scene time `sceneTime`: what sync
// rows are counted from.
inline double EntryMusicTime(const ScriptEntry& entry, float sceneTime) {
  return static_cast<double>(entry.musicStart) + (static_cast<double>(sceneTime) - entry.sceneStart);
}

struct DemoScript {
  PointerList<ScriptEntry> entries;
};

// HH:MM:SS:mmm read by character position (any separators). Fields that the
// token is too short to hold read as 0.
double ParseScriptTime(std::string_view token);

// Reads rootDir/scriptName.txt and appends its entries, loading each scene
// through the cache. A "#" before an entry comments it out. A script left
// without entries is a LoadError.
void LoadDemoScript(DemoScript& script, SceneCache& scenes, const std::string& rootDir,
                    const std::string& scriptName);
void ReadDemoScript(DemoScript& script, SceneCache& scenes, SceneReader& reader);

}  // namespace stagwerk
