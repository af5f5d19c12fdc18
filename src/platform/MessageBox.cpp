#include "platform/MessageBox.h"

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

namespace stagwerk {

namespace {

Uint32 BoxFlags(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return SDL_MESSAGEBOX_ERROR;
    case MessageKind::Warning: return SDL_MESSAGEBOX_WARNING;
    case MessageKind::Information: return SDL_MESSAGEBOX_INFORMATION;
  }
  return SDL_MESSAGEBOX_ERROR;
}

}  // namespace

bool HaveDisplay() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

void ShowMessage(const std::string& caption, const std::string& text, MessageKind kind, SDL_Window* owner) {
  std::cerr << caption << ": " << text << std::endl;
  if (HaveDisplay()) SDL_ShowSimpleMessageBox(BoxFlags(kind), caption.c_str(), text.c_str(), owner);
}

bool AskYesNo(const std::string& caption, const std::string& text) {
  std::cerr << caption << ": " << text << std::endl;
  if (!HaveDisplay()) {
    std::cerr << caption << ": no display to ask on; answering Yes" << std::endl;
    return true;
  }
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  const SDL_MessageBoxData box{SDL_MESSAGEBOX_WARNING, nullptr, caption.c_str(), text.c_str(), 2, buttons, nullptr};
  int chosen = 0;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) return true;  // a box that cannot show cannot say No
  std::cerr << caption << ": " << (chosen == 1 ? "Yes" : "No") << std::endl;
  return chosen == 1;
}

}  // namespace stagwerk
