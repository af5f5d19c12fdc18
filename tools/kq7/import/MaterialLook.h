#pragma once
// What a material gives the corners of its polygons: the KQ7 mesh has one
// colour per corner and no material, so base colour, alpha mode and glow
// end up there.
#include <array>
#include <string>
#include <vector>

struct aiScene;

namespace stagwerk::kq7 {

struct MaterialLook {
  std::array<float, 4> colour{1, 1, 1, 1};  // as the player shows it
  bool linear = false;                      // glTF: vertex colours are linear too
  bool mask = false;                        // alpha is cut at cutoff to 0 or 1
  bool opaque = true;                       // alpha is dropped
  float cutoff = 0.5f;
  bool luminous = false;
  bool doubleSided = false;  // its open surfaces get back faces
  std::array<float, 3> glow{0, 0, 0};  // linear emissive colour, for luminous ones

  // True when the corners need colours: anything but opaque white.
  bool Coloured() const;
  // A vertex colour (1 1 1 1 where the mesh has none) under this material.
  std::array<float, 4> Corner(const std::array<float, 4>& vertex) const;
};

// The look of the scene's material index under glTF's rules; white, with
// vertex colours as they are, for other formats. What cannot be shown goes
// to warnings.
MaterialLook LookOf(const aiScene& scene, unsigned material, const std::string& file,
                    std::vector<std::string>& warnings);

}  // namespace stagwerk::kq7
