#include "kq7/formats/MaterialRules.h"
#include "kq7/formats/demoscene/GltfConverter.h"

// Which glTF meshes glow: the player draws those unlit in their colours,
// which the mesh conversion gives their corners.

namespace stagwerk::kq7::gltf {

namespace {

bool LuminousMaterial(const json& material) {
  const json& extensions = GltfFile::Member(material, "extensions");
  if (extensions.is_object() && extensions.contains("KHR_materials_unlit")) return true;
  const json& factor = GltfFile::Member(material, "emissiveFactor");
  if (!factor.is_array() || factor.size() != 3) return false;
  double strength = 1;
  const json& s = GltfFile::Member(GltfFile::Member(extensions, "KHR_materials_emissive_strength"), "emissiveStrength");
  if (s.is_number()) strength = s.get<double>();
  std::array<float, 3> glow{};
  for (std::size_t i = 0; i < 3; ++i) {
    if (!factor[i].is_number()) return false;
    glow[i] = Narrow(factor[i].get<double>() * strength);
  }
  return Luminous(glow);
}

}  // namespace

// Every primitive's material must glow: the object is drawn one way.
bool Converter::LuminousMesh(int mesh) const {
  const json& meshes = Get(json_, "meshes");
  const json& materials = Get(json_, "materials");
  if (!meshes.is_array() || mesh < 0 || static_cast<std::size_t>(mesh) >= meshes.size()) return false;
  const json& primitives = Get(meshes[static_cast<std::size_t>(mesh)], "primitives");
  if (!primitives.is_array() || primitives.empty()) return false;
  for (const json& p : primitives) {
    const int m = Index(Get(p, "material"));
    if (!materials.is_array() || m < 0 || static_cast<std::size_t>(m) >= materials.size()) return false;
    if (!LuminousMaterial(materials[static_cast<std::size_t>(m)])) return false;
  }
  return true;
}

}  // namespace stagwerk::kq7::gltf
