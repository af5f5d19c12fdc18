#pragma once
// The demo's meshes, built from formulas. Front faces are clockwise as the
// viewer sees them (LightWave's left-handed space, +Y up); each polygon is
// wound from the side it should be seen from.
#include <filesystem>

namespace demo_assets {

void WriteMeshes(const std::filesystem::path& objectsDir);

}  // namespace demo_assets
