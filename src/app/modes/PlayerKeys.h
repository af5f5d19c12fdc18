#pragma once
// The keys a window takes while the demo plays.
#include <SDL2/SDL.h>

#include <optional>

#include "app/playback/PlaybackControls.h"

namespace stagwerk {

enum class WindowCommand { ToggleFullscreen, ToggleOverlay, KeyCamera };

struct KeyAction {
  std::optional<PlaybackCommand> playback;
  std::optional<WindowCommand> window;
};

// What a key press asks for; nothing for keys without a meaning (Escape
// is the loop's own). Held keys repeat seeks and frame steps, not toggles
// or marker jumps.
KeyAction ActionFor(const SDL_KeyboardEvent& key);

}  // namespace stagwerk
