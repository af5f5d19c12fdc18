#pragma once
// What stderr adds under a scene the player refuses for its layout: the
// message box keeps the player's own text.
#include <string>

namespace stagwerk {

// The hint line for a loading failure's text, or "" when the text is not a
// refusal of a scene's layout ("Not LW ver. 6.x", "Not <keyword>").
std::string SceneHint(const std::string& text);

}  // namespace stagwerk
