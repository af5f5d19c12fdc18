#pragma once
// Pictures out as PNG files.
#include <string>
#include <vector>

namespace stagwerk {

// RGB rows, top row first. Throws LoadError naming the file and the reason.
void WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);

}  // namespace stagwerk
