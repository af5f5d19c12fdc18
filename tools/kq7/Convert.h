#pragma once
// Turning an imported 3D scene into one KQ7 mesh.
#include <string>
#include <vector>

#include "Kq7Fit.h"
#include "objects/Kq7Writer.h"

struct aiScene;

namespace stagwerk::kq7 {

struct ConvertOptions {
  bool points = false;          // a point set: positions only, drawn as sprites
  bool zUp = false;             // the file's up axis is +Z: turn it to +Y
  bool weld = true;             // share vertices that sit at the same place
  bool normalsFromFile = true;  // false where the importer made the normals up
  std::string texture;          // overrides the first material's texture
  std::string texture2;         // the texture for the second UV set
  std::string environmentMap;
  // When set, only these meshes, each in its own space: a scene places them.
  std::vector<unsigned> onlyMeshes;
};

// file names the source in messages and warnings. Throws InputError when the
// mesh does not fit a KQ7 file; what converts but loses something is added
// to warnings.
Kq7Description ConvertScene(const aiScene& scene, const std::string& file, const ConvertOptions& options,
                            std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
