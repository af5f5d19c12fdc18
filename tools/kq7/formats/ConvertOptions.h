#pragma once
// What a kq7 convert run asks of a mesh, whichever reader made it.
#include <string>
#include <vector>

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

}  // namespace stagwerk::kq7
