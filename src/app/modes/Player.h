#pragma once
// The player: window, loading picture, music, playback clock and the main
// loop, then teardown in order: music, script, scenes, meshes, textures,
// window.
#include <functional>
#include <optional>
#include <string>

#include "app/loading/DemoSync.h"
#include "app/modes/RendererChoice.h"
#include "sync/RocketProtocol.h"

namespace stagwerk {

class Clock;
struct DemoScript;
struct Frame;
class PlaybackClock;
class PlaybackControls;
class Renderer;

// What a test sees after each pass of the loop.
struct PlayerPass {
  const DemoScript& script;
  PlaybackClock& playback;
  PlaybackControls& controls;
  Renderer& renderer;
  bool overlay;
  bool handledEvent;  // this pass took an event instead of drawing
  const std::string& message;  // the last warning or reload error
  int reloads;                 // demos loaded anew by --watch
  const Frame* frame;          // built last; null before the first
};

struct PlayerOptions {
  std::string configPath;
  std::string settingsPath;     // empty: the per-user default
  double syncRows = kDefaultSyncRowsPerSecond;  // sync track rows per second of music
  std::optional<double> start;  // music time to start at
  bool stats = false;           // print frame statistics at exit
  bool watch = false;           // load the demo anew when its files are saved
  bool hold = false;            // at the end, hold the last picture instead of ending
  std::optional<RocketAddress> sync;  // a sync editor to follow
  unsigned jobs = 0;            // texture decoding threads; 0: one per core
  RendererKind renderer = RendererKind::FixedFunction;
  // Called once as the main loop starts; tests post events from it.
  std::function<void()> onPlaying;
  // Called after every pass of the loop; tests post keys from it.
  std::function<void(PlayerPass&)> onPass;
  // The counter to play on; null for the real one. Tests play on a
  // VirtualClock.
  Clock* clock = nullptr;
};

// Exit status: 0 after the end of the demo (never with `hold`), Escape or
// closing the window;
// 1 after a loading failure or a window that cannot be opened.
int RunPlayer(const PlayerOptions& options);

constexpr const char* kWindowTitle = "Dorthax{Ombrisalte}";

}  // namespace stagwerk
