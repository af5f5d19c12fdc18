#pragma once
// The demo's pictures, painted from formulas: TGA files the player reads as
// they are, and PPM/PGM files that scripts/make-demo-assets.sh turns into
// JPEG. Every size is a power of two.
#include <filesystem>

namespace demo_assets {

void WritePictures(const std::filesystem::path& texturesDir);

}  // namespace demo_assets
