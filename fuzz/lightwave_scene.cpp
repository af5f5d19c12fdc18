// LightWave scene text of any version through kq7 scene's tolerant reader,
// its writer, and the player's own reader of what it wrote.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kq7/formats/ToolError.h"
#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "kq7/formats/demoscene/LightWaveScene.h"
#include "objects/MeshCache.h"
#include "scene/SceneLoader.h"
#include "textures/TextureCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> warnings;
  std::string written;
  try {
    written = stagwerk::kq7::WriteDemoScene(stagwerk::kq7::ReadLightWaveScene(text, "fuzz.lws", warnings).scene);
  } catch (const stagwerk::kq7::InputError&) {
    return 0;
  }
  // Whatever the reader let through, the player reads: meshes and pictures
  // are missing here, so loading may stop there, but never elsewhere.
  const stagwerk::DataDirectories directories{"/nonexistent", "textures", "scenes"};
  stagwerk::TextureCache textures(directories, false);
  stagwerk::MeshCache meshes(directories, textures);
  stagwerk::SceneReader reader(written);
  try {
    stagwerk::ReadScene("fuzz", reader, meshes, textures);
  } catch (const stagwerk::LoadError& e) {
    const std::string what = e.what();
    if (what.rfind("Not ", 0) == 0 || what.rfind("Lack of", 0) == 0) __builtin_trap();  // a layout the player refuses
  }
  return 0;
}
