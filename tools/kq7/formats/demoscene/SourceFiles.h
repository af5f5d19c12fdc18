#pragma once
// Finding the files a scene names, wherever the modeller's machine kept
// them, and naming them as the player looks for them.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// The folders a scene's relative paths may start from: a LightWave content
// folder when given, the scene's folder and the folder above it.
std::vector<std::filesystem::path> SearchFolders(const std::filesystem::path& sceneFile,
                                                 const std::optional<std::filesystem::path>& content);

// An existing file for a path as a scene wrote it (Windows separators and
// drive letters included): the path itself, then each shorter tail of it
// under each folder.
std::optional<std::filesystem::path> FindSourceFile(const std::string& written,
                                                    const std::vector<std::filesystem::path>& folders);

// The name a scene gives an object so the player finds its KQ7 file: the
// path as written when it is a clean relative path of one word ending in a
// three-letter extension, else Objects/<file name>.
std::string ObjectName(const std::string& written);

// Where the player reads the mesh for an object name: the last three
// characters become kq7.
std::string Kq7PathFor(const std::string& objectName);

}  // namespace stagwerk::kq7
