#pragma once
// The player: window, loading picture, music, playback clock and the main
// loop, then teardown in order: music, script, scenes, meshes, textures,
// window.
#include <functional>
#include <optional>
#include <string>

namespace stagwerk {

struct PlayerOptions {
  std::string configPath;
  std::string settingsPath;     // empty: the per-user default
  std::optional<double> start;  // music time to start at
  bool stats = false;           // print frame statistics at exit
  unsigned jobs = 0;            // texture decoding threads; 0: one per core
  // Called once as the main loop starts; tests post events from it.
  std::function<void()> onPlaying;
};

// Exit status: 0 after the end of the demo, Escape or closing the window;
// 1 after a loading failure or a window that cannot be opened.
int RunPlayer(const PlayerOptions& options);

constexpr const char* kWindowTitle = "Dorthax{Ombrisalte}";

}  // namespace stagwerk
