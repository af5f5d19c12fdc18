#pragma once
// The end of every mesh conversion: what a reader gathered, checked against
// what a KQ7 file holds and put together as one mesh. kq7 convert's assimp
// side and the LightWave object reader both end here, so a mesh comes out
// the same whichever read it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kq7/formats/ConvertOptions.h"
#include "kq7/formats/Kq7Fit.h"
#include "objects/Kq7Writer.h"

namespace stagwerk::kq7 {

// What a reader gathered. A vertex is its place and then each morph target's
// delta; polygons hold vertex indices, and each corner the indices of its
// UV, second UV and colour where there are any.
struct GatheredMesh {
  Pool<std::vector<float>> vertices;
  std::size_t morphTargets = 0;
  std::vector<std::vector<uint32_t>> polygons;
  Pool<std::array<float, 2>> uvs, uvs2;
  Pool<std::array<float, 4>> colours;
  std::vector<uint32_t> uvIndices, uv2Indices, colourIndices;
  std::string texture;  // as ChooseTexture chose it
  bool anyUv = false, anySecondUv = false, anyColours = false;
  bool moreUvSets = false, moreColourSets = false;  // sets past those a KQ7 file holds
};

// How a reader's messages name what its source lacks or drops: each speaks
// of its own format's parts.
struct SourceWords {
  std::string noVertices;         // "holds no vertices"
  std::string noTextureName;      // "no material names a texture"
  std::string noUvs;              // "the mesh has no UVs"
  std::string secondUvSet;        // "second UV set", as "has no ... to put the texture on"
  std::string secondUvsDropped;   // "the second UV set is", as "... dropped"
  std::string coloursDropped;     // "the vertex colours are", as "... dropped"
};

// --texture, else the first of found (warning, with several, in the words of
// several: "the materials name several textures"); none for a point set.
std::string ChooseTexture(const std::string& file, const ConvertOptions& options,
                          const std::vector<std::string>& found, const std::string& several,
                          std::vector<std::string>& warnings);

// Throws InputError naming file when the mesh does not fit a KQ7 file; what
// is dropped goes to warnings.
Kq7Description AssembleKq7(const GatheredMesh& mesh, const std::string& file, const ConvertOptions& options,
                           const SourceWords& words, std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
