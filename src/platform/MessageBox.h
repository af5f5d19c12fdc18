#pragma once
// The player's message boxes. Every one is also written to stderr; with no
// display to show it on (or SDL's offscreen driver), stderr alone.
#include <string>

struct SDL_Window;

namespace stagwerk {

enum class MessageKind { Error, Warning, Information };

// stderr gets "<caption>: <text>".
void ShowMessage(const std::string& caption, const std::string& text, MessageKind kind, SDL_Window* owner = nullptr);
// Yes or No. Without a display the question is written to stderr and
// answered Yes, the choice that goes on.
bool AskYesNo(const std::string& caption, const std::string& text);
// A display the boxes can appear on.
bool HaveDisplay();

}  // namespace stagwerk
