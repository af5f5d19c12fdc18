#pragma once
// Turning an imported 3D scene into one KQ7 mesh.
#include <string>
#include <vector>

#include "kq7/formats/ConvertOptions.h"
#include "objects/Kq7Writer.h"

struct aiScene;

namespace stagwerk::kq7 {

// file names the source in messages and warnings. Throws InputError when the
// mesh does not fit a KQ7 file; what converts but loses something is added
// to warnings.
Kq7Description ConvertScene(const aiScene& scene, const std::string& file, const ConvertOptions& options,
                            std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
