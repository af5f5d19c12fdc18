#include "kq7/import/MaterialLook.h"

#include <assimp/GltfMaterial.h>
#include <assimp/commonMetaData.h>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>

#include "kq7/formats/MaterialRules.h"

namespace stagwerk::kq7 {

namespace {

bool Finite(const aiColor4D& c) {
  return std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) && std::isfinite(c.a);
}

std::array<float, 4> Clamped(const aiColor4D& c) {
  return {std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f),
          std::clamp(c.a, 0.0f, 1.0f)};
}

// glTF's rules: base colour factor, alpha mode, emissive (with its
// strength) and the unlit extension, which assimp hands over as these keys.
void ReadGltf(const aiMaterial& m, MaterialLook& look, const std::string& label,
              std::vector<std::string>& warnings) {
  look.linear = true;
  aiColor4D base(1, 1, 1, 1);
  if (m.Get(AI_MATKEY_BASE_COLOR, base) == AI_SUCCESS && Finite(base)) look.colour = Clamped(base);
  aiString mode;
  m.Get(AI_MATKEY_GLTF_ALPHAMODE, mode);
  const std::string alpha = mode.C_Str();
  look.opaque = alpha != "MASK" && alpha != "BLEND";
  look.mask = alpha == "MASK";
  float cutoff = 0.5f;
  if (m.Get(AI_MATKEY_GLTF_ALPHACUTOFF, cutoff) == AI_SUCCESS && std::isfinite(cutoff)) look.cutoff = cutoff;
  aiColor4D emissive(0, 0, 0, 1);
  float strength = 1;
  if (m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive) == AI_SUCCESS && Finite(emissive)) {
    if (m.Get(AI_MATKEY_EMISSIVE_INTENSITY, strength) != AI_SUCCESS || !std::isfinite(strength)) strength = 1;
    look.glow = {std::max(0.0f, emissive.r * strength), std::max(0.0f, emissive.g * strength),
                 std::max(0.0f, emissive.b * strength)};
  }
  int twoSided = 0;
  look.doubleSided = m.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS && twoSided != 0;
  if (alpha == "BLEND") {
    warnings.push_back(label + ": blended as the player blends, in the scene's order and writing depth, so what "
                       "lies behind it and is drawn later is hidden");
  }
  int shading = 0;
  const bool unlit = m.Get(AI_MATKEY_SHADING_MODEL, shading) == AI_SUCCESS && shading == aiShadingMode_Unlit;
  look.luminous = unlit || Luminous(look.glow);
  if (unlit) look.glow = {look.colour[0], look.colour[1], look.colour[2]};
  if (!look.luminous && std::max({look.glow[0], look.glow[1], look.glow[2]}) > 0) {
    warnings.push_back(label + ": its faint emissive colour is dropped: the player draws a surface lit or glowing, not both");
  }
}

bool FromGltf(const aiScene& scene) {
  aiString format;
  return scene.mMetaData != nullptr && scene.mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) &&
         std::string(format.C_Str()).find("glTF") != std::string::npos;
}

}  // namespace

bool MaterialLook::Coloured() const {
  const bool white = colour[0] == 1 && colour[1] == 1 && colour[2] == 1;
  return !white || (!opaque && colour[3] < 1) || (mask && cutoff > 1);
}

std::array<float, 4> MaterialLook::Corner(const std::array<float, 4>& vertex) const {
  std::array<float, 4> c{};
  for (int i = 0; i < 3; ++i) {
    const float lit = colour[i] * std::clamp(vertex[i], 0.0f, 1.0f);
    const float shown = luminous ? std::max(lit, std::min(glow[i], 1.0f)) : lit;
    c[i] = linear ? EncodeSrgb(shown) : shown;
  }
  const float a = colour[3] * std::clamp(vertex[3], 0.0f, 1.0f);
  c[3] = opaque ? 1.0f : mask ? (a >= cutoff ? 1.0f : 0.0f) : a;
  return c;
}

MaterialLook LookOf(const aiScene& scene, unsigned material, const std::string& file,
                    std::vector<std::string>& warnings) {
  MaterialLook look;
  // Other formats' material colours are left to their vertex colours: what
  // assimp makes up for a material a file leaves out is not the author's.
  if (!FromGltf(scene)) return look;
  look.linear = true;
  if (material >= scene.mNumMaterials || scene.mMaterials[material] == nullptr) return look;
  const aiMaterial& m = *scene.mMaterials[material];
  aiString name;
  m.Get(AI_MATKEY_NAME, name);
  if (std::string(name.C_Str()) == AI_DEFAULT_MATERIAL_NAME) return look;
  ReadGltf(m, look, file + ": material \"" + name.C_Str() + "\"", warnings);
  return look;
}

}  // namespace stagwerk::kq7
