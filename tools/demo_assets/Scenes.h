#pragma once
// The demo's scenes and its script, timed to the music: intro 0 s, build
// 8 s, drop 16 s, break 32 s, finale 40 s, outro 52 s, silence at 57.5 s.
#include <filesystem>

namespace demo_assets {

// Writes scenes/*.lws and the script demo.txt under the data folder.
void WriteScenes(const std::filesystem::path& dataDir);

}  // namespace demo_assets
