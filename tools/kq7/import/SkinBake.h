#pragma once
// A skinned glTF mesh as one KQ7 mesh: its rest pose converted as kq7
// convert converts a mesh, and each baked frame a morph target.
#include <string>
#include <vector>

#include "kq7/formats/ConvertOptions.h"
#include "kq7/formats/demoscene/GltfSkinBake.h"
#include "objects/Kq7Writer.h"

struct aiScene;

namespace stagwerk::kq7 {

// options.onlyMeshes: assimp's meshes of the glTF mesh, its primitives in
// order; the rest as kq7 convert takes them. Throws InputError naming file
// when assimp's vertices are not the file's.
Kq7Description BakeSkinnedMesh(const aiScene& scene, ConvertOptions options, const GltfSkinBake& bake,
                               const std::string& file, std::vector<std::string>& warnings);

// "3 animations, 201 frames baked, 1,728 vertices, 310,000 deltas"
std::string DescribeBake(const GltfSkinBake& bake, const Kq7Description& mesh);

}  // namespace stagwerk::kq7
