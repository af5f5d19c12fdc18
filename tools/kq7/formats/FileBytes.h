#pragma once
// A whole file as bytes, for the tools' readers.
#include <filesystem>
#include <string>

namespace stagwerk::kq7 {

// Throws InputError naming path when it cannot be opened (a folder included).
std::string ReadFileBytes(const std::filesystem::path& path);

}  // namespace stagwerk::kq7
