#pragma once
// Writing a KQ7 mesh back out in a modeller's format.
#include <string>
#include <vector>

#include "objects/Mesh.h"

namespace stagwerk::kq7 {

// The assimp exporter for an output path, by its extension (.obj, .gltf,
// .glb, .ply, .stl); empty when none fits.
std::string ExportFormatFor(const std::string& path);

// Writes mesh to path in the given format, back in right-handed space.
// Throws InputError when assimp cannot write it.
void ExportMesh(const Mesh& mesh, const std::string& path, const std::string& format,
                std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
