// Demo scripts against scenes of two cameras.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/LoadError.h"
#include "base/SceneReader.h"
#include "script/DemoScript.h"
#include "scene/SceneCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  stagwerk::SceneCache scenes([](const std::string& name) {
    auto scene = std::make_unique<stagwerk::Scene>();
    scene->name = name;
    scene->cameras.Append(std::make_unique<stagwerk::Camera>());
    scene->cameras.Append(std::make_unique<stagwerk::Camera>());
    return scene;
  });
  stagwerk::DemoScript script;
  stagwerk::SceneReader reader(data, static_cast<uint32_t>(size));
  try {
    stagwerk::ReadDemoScript(script, scenes, reader);
  } catch (const stagwerk::LoadError&) {
  }
  for (const stagwerk::ScriptEntry& entry : script.entries) {
    if (entry.scene == nullptr || entry.camera == nullptr || entry.scene->name.empty()) __builtin_trap();
  }
  return 0;
}
