#pragma once
// Idioms shared by the item block readers of scene files.
#include <string_view>

#include "base/PathString.h"

namespace stagwerk {

class SceneReader;

// Reads a token; throws LoadError(message) unless it is exactly keyword.
void ExpectToken(SceneReader& reader, std::string_view keyword, const char* message);

// Passes over the optional "LockedChannels", "KeyableChannels",
// "HController", "PController", "BController" lines (each with one value)
// that follow an item's channels, in that order. token holds the word after
// the channels and, afterwards, the word after the last of these lines.
void SkipChannelOptions(SceneReader& reader, PathString& token);

}  // namespace stagwerk
