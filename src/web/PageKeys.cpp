#include "web/PageKeys.h"

#include <cstring>

namespace stagwerk {

std::optional<PlaybackCommand> PageKeyCommand(const char* code, bool shift, bool repeat) {
  const auto is = [code](const char* name) { return std::strcmp(code, name) == 0; };
  if (is("ArrowLeft")) return shift ? PlaybackCommand::Back10 : PlaybackCommand::Back1;
  if (is("ArrowRight")) return shift ? PlaybackCommand::Forward10 : PlaybackCommand::Forward1;
  if (repeat) return std::nullopt;
  if (is("Space")) return PlaybackCommand::TogglePause;
  if (is("PageUp")) return PlaybackCommand::PreviousEntry;
  if (is("PageDown")) return PlaybackCommand::NextEntry;
  if (is("Home")) return PlaybackCommand::Home;
  if (is("BracketLeft")) return PlaybackCommand::Slower;
  if (is("BracketRight")) return PlaybackCommand::Faster;
  if (is("Backspace")) return PlaybackCommand::NormalSpeed;
  if (is("KeyL")) return PlaybackCommand::Loop;
  return std::nullopt;
}

}  // namespace stagwerk
