// Configuration files: the eleven tokens and the values derived from them.
#include <cstddef>
#include <cstdint>

#include "base/SceneReader.h"
#include "script/DemoConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  stagwerk::SceneReader reader(data, static_cast<uint32_t>(size));
  const stagwerk::DemoConfig config = stagwerk::ReadDemoConfig(reader);
  volatile bool fullscreen = config.FullscreenMode();
  (void)fullscreen;
  return 0;
}
