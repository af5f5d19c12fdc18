#pragma once
// One scene of a demo at one time, through one camera, as a PNG: what the
// player's window would show, with no display needed.
#include <string>

#include "app/loading/DemoSync.h"
#include "app/modes/RendererChoice.h"

namespace stagwerk {

struct StillOptions {
  std::string configPath;
  std::string settingsPath;  // empty: the per-user default
  double syncRows = kDefaultSyncRowsPerSecond;  // sync track rows per second of music
  unsigned jobs = 0;         // texture decoding threads; 0: one per core
  RendererKind renderer = RendererKind::FixedFunction;
  std::string scene;         // as the script names scenes
  float seconds = 0.0f;      // scene time
  int camera = 1;            // 1-based
  int width = 0;             // 0: the display settings
  int height = 0;
  std::string out;
};

// Throws LoadError (a GlContextError when no context can be made).
void RenderStill(const StillOptions& options);

}  // namespace stagwerk
