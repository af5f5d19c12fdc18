#pragma once
// The author's keys in a page, by the DOM's key codes: the same commands
// the desktop player's keys give. Escape is the page's own (the end screen).
#include <optional>

#include "app/playback/PlaybackControls.h"

namespace stagwerk {

// `code` is KeyboardEvent.code ("Space", "ArrowLeft", ...).
std::optional<PlaybackCommand> PageKeyCommand(const char* code, bool shift, bool repeat);

}  // namespace stagwerk
