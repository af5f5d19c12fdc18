// glTF JSON and binary files through kq7 scene's reader and conversion.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kq7/formats/ToolError.h"
#include "kq7/formats/demoscene/DemoSceneWriter.h"
#include "kq7/formats/demoscene/GltfScene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> warnings;
  try {
    const stagwerk::kq7::GltfFile file = stagwerk::kq7::GltfFile::Parse(bytes, "/nonexistent/fuzz.gltf");
    stagwerk::kq7::GltfSceneOptions options;
    options.name = "fuzz";
    options.fps = 30;
    for (const auto& [name, scene] : stagwerk::kq7::ConvertGltfScenes(file, options, warnings).scenes) {
      (void)stagwerk::kq7::WriteDemoScene(scene);
    }
  } catch (const stagwerk::kq7::InputError&) {
  }
  return 0;
}
