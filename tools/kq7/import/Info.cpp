#include "kq7/import/Info.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "base/WholeFile.h"

namespace stagwerk::kq7 {

namespace {

constexpr std::array<std::pair<MeshFlags, const char*>, 8> kFlagNames{{
    {HasPolygons, "HasPolygons"},
    {HasTexture, "HasTexture"},
    {HasEnvironmentMap, "HasEnvironmentMap"},
    {HasColours, "HasColours"},
    {HasSecondTexture, "HasSecondTexture"},
    {HasMorphTargets, "HasMorphTargets"},
    {AllTriangles, "AllTriangles"},
    {HasBones, "HasBones"},
}};

struct Box {
  std::array<float, 3> min, max;
};

// Empty for a mesh without vertices.
std::optional<Box> BoundingBox(const Mesh& mesh) {
  const auto p = mesh.positions();
  if (p.empty()) return std::nullopt;
  Box box{{p[0], p[1], p[2]}, {p[0], p[1], p[2]}};
  for (std::size_t i = 0; i + 2 < p.size(); i += 3) {
    for (int k = 0; k < 3; ++k) {
      box.min[k] = std::min(box.min[k], p[i + k]);
      box.max[k] = std::max(box.max[k], p[i + k]);
    }
  }
  return box;
}

std::string Float(float f) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
  return text;
}

std::string Triple(const std::array<float, 3>& v) {
  return "(" + Float(v[0]) + ", " + Float(v[1]) + ", " + Float(v[2]) + ")";
}

std::vector<std::string> FlagNames(uint8_t flags) {
  std::vector<std::string> names;
  for (const auto& [flag, name] : kFlagNames) {
    if (flags & flag) names.emplace_back(name);
  }
  return names;
}

}  // namespace

Kq7File ReadKq7(const std::string& path) {
  WholeFile file = MapWholeFile(path);
  const SceneReader& reader = file.reader();
  Kq7File out{path, Mesh::Parse(reader.base(), reader.size(), path, path, {}), ""};
  if (out.mesh->Has(HasEnvironmentMap)) {
    // The parse checked both names end inside the file: magic, flags, then
    // the first texture's name, then the environment map's.
    const char* name = reinterpret_cast<const char*>(reader.base()) + 4;
    if (out.mesh->Has(HasTexture)) name += std::strlen(name) + 1;
    out.environmentMap = name;
  }
  return out;
}

std::string DescribeMesh(const Kq7File& file) {
  const Mesh& mesh = *file.mesh;
  std::string out = file.path + "\n";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", mesh.flags());
  std::string flags;
  for (const std::string& name : FlagNames(mesh.flags())) flags += " " + name;
  out += "  flags      " + std::string(hex) + (flags.empty() ? " (a point set)" : flags) + "\n";
  out += "  vertices   " + std::to_string(mesh.vertexCount()) + "\n";
  if (mesh.Has(HasPolygons)) {
    out += "  polygons   " + std::to_string(mesh.polygonCount()) + " (" + std::to_string(mesh.cornerTotal()) +
           " corners)\n";
  } else {
    out += "  polygons   none: drawn as sprites\n";
  }
  if (mesh.Has(HasTexture)) {
    out += "  texture    " + mesh.textureName() + " (" + std::to_string(mesh.uvCount()) + " UVs)\n";
  }
  if (mesh.Has(HasSecondTexture)) {
    out += "  texture 2  " + mesh.texture2Name() + " (" + std::to_string(mesh.uv2Count()) + " UVs)\n";
  }
  if (mesh.Has(HasEnvironmentMap)) {
    out += "  env map    " + file.environmentMap;
    if (mesh.Has(HasSecondTexture)) out += " (named, but the player shows texture 2 instead)";
    out += "\n";
  }
  if (mesh.Has(HasColours)) out += "  colours    " + std::to_string(mesh.colourCount()) + "\n";
  if (const auto box = BoundingBox(mesh)) out += "  bounds     " + Triple(box->min) + " to " + Triple(box->max) + "\n";
  if (mesh.Has(HasMorphTargets)) {
    out += "  morph targets " + std::to_string(mesh.targetCount()) + "\n";
    for (std::size_t t = 0; t < mesh.deltaCounts().size(); ++t) {
      out += "    " + std::to_string(t) + ": " + std::to_string(mesh.deltaCounts()[t]) + " vertices move\n";
    }
  }
  if (mesh.Has(HasBones)) out += "  bones      " + std::to_string(mesh.boneCount()) + "\n";
  return out;
}

nlohmann::json MeshJson(const Kq7File& file) {
  const Mesh& mesh = *file.mesh;
  nlohmann::json j;
  j["file"] = file.path;
  j["flags"] = FlagNames(mesh.flags());
  j["vertices"] = mesh.vertexCount();
  j["polygons"] = mesh.polygonCount();
  j["corners"] = mesh.cornerTotal();
  j["texture"] = mesh.Has(HasTexture) ? nlohmann::json(mesh.textureName()) : nlohmann::json();
  j["uvs"] = mesh.uvCount();
  j["environmentMap"] = mesh.Has(HasEnvironmentMap) ? nlohmann::json(file.environmentMap) : nlohmann::json();
  j["secondTexture"] = mesh.Has(HasSecondTexture) ? nlohmann::json(mesh.texture2Name()) : nlohmann::json();
  j["secondUvs"] = mesh.uv2Count();
  j["colours"] = mesh.colourCount();
  if (const auto box = BoundingBox(mesh)) {
    j["bounds"] = {{"min", box->min}, {"max", box->max}};
  } else {
    j["bounds"] = nullptr;
  }
  std::vector<uint16_t> deltas(mesh.deltaCounts().begin(), mesh.deltaCounts().end());
  j["morphTargets"] = deltas;
  j["bones"] = mesh.boneCount();
  return j;
}

}  // namespace stagwerk::kq7
