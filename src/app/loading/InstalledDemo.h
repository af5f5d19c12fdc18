#pragma once
// The demo installed beside the player, for a run with no CONFIG in a folder
// that has no configuration of its own.
#include <filesystem>
#include <optional>
#include <string>

namespace stagwerk {

// <dir>/stagwerk/demo/defaultdemoconfig.txt for the first data directory
// that has it: $XDG_DATA_HOME (default ~/.local/share), then each of
// $XDG_DATA_DIRS (default /usr/local/share:/usr/share). Relative entries are
// skipped, as the base directory rules ask. Null arguments read as unset.
std::optional<std::filesystem::path> FindInstalledDemo(const char* dataHome, const char* dataDirs, const char* home);

// With the environment's values.
std::optional<std::filesystem::path> FindInstalledDemo();

}  // namespace stagwerk
