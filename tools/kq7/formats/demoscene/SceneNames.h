#pragma once
// The one-word names scenes go by in the demo script and the player's files.
#include <string>

namespace stagwerk::kq7 {

// A scene name made from a file's name: kept as it is when it is already
// one word the script and the player can hold; otherwise every blank, '.',
// '/', '#', '"', control and non-ASCII byte becomes '_', runs of '_' become
// one, '_' at either end goes, and the result is cut to kMaxSceneName
// characters. Nothing left gives "scene".
std::string SceneNameFrom(const std::string& text);

// Whether a name given by the user can stand in the script and name a file:
// one word without '/', '#' or '"', at most kMaxSceneName characters.
bool IsSceneName(const std::string& name);

// Well inside the player's 249-character paths, with folders and .lws.
constexpr std::size_t kMaxSceneName = 64;

}  // namespace stagwerk::kq7
