#pragma once
// The player's message boxes in a page: a box over the canvas (the page's
// stagwerkPage.message) and the same line on the console.
#include <string>

namespace stagwerk {

enum class PageMessageKind { Error, Warning, Information };

// The console gets "<caption>: <text>" (as an error for errors).
void ShowPageMessage(const std::string& caption, const std::string& text, PageMessageKind kind);

}  // namespace stagwerk
