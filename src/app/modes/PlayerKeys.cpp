#include "app/modes/PlayerKeys.h"

namespace stagwerk {

KeyAction ActionFor(const SDL_KeyboardEvent& key) {
  const bool shift = (key.keysym.mod & KMOD_SHIFT) != 0;
  const bool ctrl = (key.keysym.mod & KMOD_CTRL) != 0;
  const bool repeat = key.repeat != 0;
  const auto play = [](PlaybackCommand c) { return KeyAction{c, std::nullopt}; };
  const auto window = [](WindowCommand c) { return KeyAction{std::nullopt, c}; };
  switch (key.keysym.scancode) {
    case SDL_SCANCODE_LEFT:
      if (ctrl) return repeat ? KeyAction{} : play(PlaybackCommand::PreviousMarker);
      return play(shift ? PlaybackCommand::Back10 : PlaybackCommand::Back1);
    case SDL_SCANCODE_RIGHT:
      if (ctrl) return repeat ? KeyAction{} : play(PlaybackCommand::NextMarker);
      return play(shift ? PlaybackCommand::Forward10 : PlaybackCommand::Forward1);
    case SDL_SCANCODE_COMMA: return play(PlaybackCommand::StepBack);
    case SDL_SCANCODE_PERIOD: return play(PlaybackCommand::StepForward);
    default: break;
  }
  if (repeat) return {};
  switch (key.keysym.scancode) {
    case SDL_SCANCODE_SPACE: return play(PlaybackCommand::TogglePause);
    case SDL_SCANCODE_PAGEUP: return play(PlaybackCommand::PreviousEntry);
    case SDL_SCANCODE_PAGEDOWN: return play(PlaybackCommand::NextEntry);
    case SDL_SCANCODE_HOME: return play(PlaybackCommand::Home);
    case SDL_SCANCODE_LEFTBRACKET: return play(PlaybackCommand::Slower);
    case SDL_SCANCODE_RIGHTBRACKET: return play(PlaybackCommand::Faster);
    case SDL_SCANCODE_BACKSPACE: return play(PlaybackCommand::NormalSpeed);
    case SDL_SCANCODE_L: return play(PlaybackCommand::Loop);
    case SDL_SCANCODE_M: return play(PlaybackCommand::ToggleMarker);
    case SDL_SCANCODE_K: return window(WindowCommand::KeyCamera);
    case SDL_SCANCODE_F: return window(WindowCommand::ToggleFullscreen);
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      if ((key.keysym.mod & KMOD_ALT) != 0) return window(WindowCommand::ToggleFullscreen);
      return {};
    case SDL_SCANCODE_TAB: return window(WindowCommand::ToggleOverlay);
    default: return {};
  }
}

}  // namespace stagwerk
